#include "capture/geometry.h"

#include "services/errors.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

// The drag distances, the square lock and the read-out are checked through
// the handlers (capture_test.cpp); these are the rules only reachable here.
namespace zs::capture {
namespace {

TEST(ScrollRange, RoundsTheDifferenceInto16Bits) {
    constexpr int kOverflow = 99999;
    const struct {
        float surface, viewport;
        int range;
    } cases[] = {
        {28800, 15180, 13620}, {4215, 15180, -10965}, // smaller than the viewport
        {100.5f, 0, 100},      {101.5f, 0, 102},      // ties to even
        {32767, 0, 32767},     {0, 32768, -32768},
        {32768, 0, kOverflow}, {57600, 15180, kOverflow}, // 3840 pixels in a design-size viewport
        {0, 32769, kOverflow},
    };
    for (const auto& c : cases) {
        if (c.range == kOverflow) {
            EXPECT_THROW(scrollRange(c.surface, c.viewport), Error) << c.surface;
        } else {
            EXPECT_EQ(scrollRange(c.surface, c.viewport), c.range) << c.surface;
        }
    }
}

TEST(Readout, UsesEachAxisFactorAndRoundsHalvesAwayFromZero) {
    EXPECT_EQ(readout(1200, 600, 12, 12).toStdString(), "100X50");
    EXPECT_EQ(readout(1500, 600, 15, 12).toStdString(), "100X50");
    EXPECT_EQ(readout(5, -5, 2, 2).toStdString(), "3X-3");  // 2.5 and -2.5
    EXPECT_EQ(readout(-7, 0, 15, 15).toStdString(), "0X0"); // never "-0"
}

TEST(DragArithmetic, RefusesValuesOutside32Bits) {
    EXPECT_EQ(dragDistance(-100.5f, 0), -100);
    EXPECT_THROW(dragDistance(3e9f, 0), Error);
    EXPECT_THROW(absInt32(std::numeric_limits<std::int32_t>::min()), Error);
    EXPECT_EQ(surfaceOffset(-32768), 32768.0f); // no 16-bit overflow
}

} // namespace
} // namespace zs::capture
