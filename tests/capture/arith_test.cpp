#include "arith.h"

#include "errors.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace zs::capture {
namespace {

struct CopyCase {
    float screenTwips;
    float twipsPerPixel;
    std::int32_t pixels;
};

TEST(CopyPixels, DividesRoundedLengthByRoundedFactor) {
    const CopyCase cases[] = {
        {28800, 15, 1920},                       // 1920 pixels at 96 dots per inch
        {16200, 15, 1080},    {23040, 12, 1920}, // the same screen at 120 dots per inch
        {12960, 12, 1080},    {57600, 15, 3840},
        {1000, 15, 66},       // 66.67: the remainder is dropped, not rounded
        {28807.5f, 15, 1920}, // 28808 after rounding to even
        {30, 14.5f, 2},       // the factor rounds to 14 (tie to even), 30 \ 14 = 2
        {30, 15.5f, 1},       // 16: 30 \ 16 = 1
        {0, 15, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(copyPixels(c.screenTwips, c.twipsPerPixel), c.pixels)
            << c.screenTwips << " twips at " << c.twipsPerPixel;
    }
}

TEST(CopyPixels, RefusesAFactorThatRoundsToZero) {
    try {
        copyPixels(28800, 0.5f); // 0.5 rounds to 0
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.code(), Error::Code::DivisionByZero);
    }
}

struct ReadoutCase {
    float pointerX, pointerY; // twips, the anchor at (0, 0)
    bool square;
    std::int32_t dx, dy; // after rounding and the lock
    const char* text;    // at 15 twips per pixel
};

// Drag distances are rounded ties-to-even to whole twips first, then shown in
// pixels with halves away from zero.
TEST(Readout, RoundsDistancesAndShowsPixels) {
    const ReadoutCase cases[] = {
        {1500, 900, false, 1500, 900, "100X60"},
        {-600, -375, false, -600, -375, "-40X-25"},
        {0, 0, false, 0, 0, "0X0"},
        {7, 7, false, 7, 7, "0X0"},      // 0.47 pixels
        {8, 8, false, 8, 8, "1X1"},      // 0.53
        {22.5f, 0, false, 22, 0, "1X0"}, // 22.5 to 22 twips, then 1.47
        {23.5f, 0, false, 24, 0, "2X0"}, // 23.5 to 24 twips, then 1.6
        {-7, -8, false, -7, -8, "0X-1"}, // -0.47 shows 0, never -0
        {22.5f, 7.5f, false, 22, 8, "1X1"},
        // The square lock takes the larger signed distance for both sides.
        {600, 300, true, 600, 600, "40X40"},
        {-600, -300, true, -300, -300, "-20X-20"},
        {600, -900, true, 600, 600, "40X40"},
        {-600, 300, true, 300, 300, "20X20"},
        {450, 450, true, 450, 450, "30X30"},
    };
    for (const auto& c : cases) {
        std::int32_t dx = dragDistance(c.pointerX, 0);
        std::int32_t dy = dragDistance(c.pointerY, 0);
        if (c.square) {
            lockSquare(dx, dy);
        }
        EXPECT_EQ(dx, c.dx) << c.text;
        EXPECT_EQ(dy, c.dy) << c.text;
        EXPECT_EQ(readout(dx, dy, 15, 15).toStdString(), c.text);
    }
}

TEST(Readout, UsesEachAxisFactorAndRoundsHalvesAwayFromZero) {
    EXPECT_EQ(readout(1200, 600, 12, 12).toStdString(), "100X50");
    EXPECT_EQ(readout(1500, 600, 15, 12).toStdString(), "100X50");
    EXPECT_EQ(readout(5, -5, 2, 2).toStdString(), "3X-3"); // 2.5 and -2.5
    EXPECT_EQ(readout(3, -3, 2, 2).toStdString(), "2X-2"); // 1.5 and -1.5
}

TEST(DragDistance, MeasuresFromTheAnchorInSinglePrecision) {
    EXPECT_EQ(dragDistance(4500, 3000), 1500);
    EXPECT_EQ(dragDistance(3000, 4500), -1500);
    EXPECT_EQ(dragDistance(100.5f, 0), 100); // ties to even
    EXPECT_EQ(dragDistance(101.5f, 0), 102);
    EXPECT_EQ(dragDistance(-100.5f, 0), -100);
    EXPECT_THROW(dragDistance(3e9f, 0), Error);
}

TEST(AbsInt32, RefusesTheValueWithoutAPositiveCounterpart) {
    EXPECT_EQ(absInt32(-600), 600);
    EXPECT_EQ(absInt32(600), 600);
    EXPECT_EQ(absInt32(0), 0);
    EXPECT_EQ(absInt32(std::numeric_limits<std::int32_t>::max()),
              std::numeric_limits<std::int32_t>::max());
    EXPECT_THROW(absInt32(std::numeric_limits<std::int32_t>::min()), Error);
}

struct RangeCase {
    float surface, viewport;
    int range; // 99999: does not fit
};

TEST(ScrollRange, RoundsTheDifferenceInto16Bits) {
    constexpr int kOverflow = 99999;
    const RangeCase cases[] = {
        {28800, 15180, 13620},
        {4215, 15180, -10965}, // a surface smaller than the viewport:
                               // negative
        {1800, 0, 1800},
        {100.5f, 0, 100}, // ties to even
        {101.5f, 0, 102},
        {32767, 0, 32767},
        {0, 32768, -32768},
        {32768, 0, kOverflow},
        {57600, 15180, kOverflow}, // a 3840-pixel capture in a design-size
                                   // viewport
        {0, 32769, kOverflow},
    };
    for (const auto& c : cases) {
        if (c.range == kOverflow) {
            try {
                scrollRange(c.surface, c.viewport);
                ADD_FAILURE() << c.surface << " - " << c.viewport << " fitted";
            } catch (const Error& e) {
                EXPECT_EQ(e.code(), Error::Code::Overflow);
            }
        } else {
            EXPECT_EQ(scrollRange(c.surface, c.viewport), c.range)
                << c.surface << " - " << c.viewport;
        }
    }
}

TEST(SurfaceOffset, NegatesEveryScrollValue) {
    EXPECT_EQ(surfaceOffset(0), 0.0f);
    EXPECT_EQ(surfaceOffset(1800), -1800.0f);
    EXPECT_EQ(surfaceOffset(-300), 300.0f);
    EXPECT_EQ(surfaceOffset(32767), -32767.0f);
    EXPECT_EQ(surfaceOffset(-32768), 32768.0f); // no 16-bit overflow
}

} // namespace
} // namespace zs::capture
