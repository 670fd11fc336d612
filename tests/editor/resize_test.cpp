#include "tests/support/window_fixture.h"

#include "editor/sizing.h"
#include "services/errors.h"

#include <optional>
#include <vector>

namespace zs::test {
namespace {

TEST(LinkedSize, KeepsTheRatioRoundingTiesToEvenAndFailsWhereTheArithmeticDoes) {
    struct Case {
        const char* typed;
        const char* refThis;
        const char* refOther;
        std::optional<std::int32_t> result; // nothing: the link fails
    };
    // Typing in the window covers more cases (ResizeTest below).
    const std::vector<Case> cases = {
        {"101", "640", "480", 76},                  // 75.75
        {"2", "640", "480", 2},                     // 1.5: ties to even
        {"-10", "640", "480", -8},                  // -7.5
        {" 12.5 ", "640", "480", 9},                // 12 (ties to even) * 480 / 640
        {"50", "0", "0", std::nullopt},             // division by zero
        {"5000000", "640", "480", std::nullopt},    // the product passes 2^31 - 1
        {"3000000000", "640", "480", std::nullopt}, // beyond 32 bits
        {"100", "Label4", "480", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        std::optional<std::int32_t> got;
        try {
            got = editor::linkedSize(c.typed, c.refThis, c.refOther);
        } catch (const Error&) {
        }
        EXPECT_EQ(got, c.result);
    }
}

class ResizeTest : public WindowTest {
protected:
    void SetUp() override {
        showAndCrop(surface, QRect(0, 0, 640, 480));
        f.Command5.click(); // reference 640 x 480
    }
};

TEST_F(ResizeTest, TypingInABoxFillsTheOtherAndSizesTheCanvas) {
    struct Case {
        int box;
        const char* typed;
        const char* other;
        QSize canvas;
    };
    const std::vector<Case> cases = {
        {0, "100", "75", {100, 75}},
        {0, "101", "76", {101, 76}},
        {0, "2", "2", {2, 2}},
        {0, "6", "4", {6, 4}},
        {1, "75", "100", {100, 75}},
        {0, "-10", "-8", {640, 480}},      // both refused by the canvas
        {0, "40000", "30000", {640, 480}}, // 16 bits refuse the width, the limit the height
        {0, "abc", "480", {640, 480}},
        {0, "", "480", {640, 480}},
        {0, "0", "0", {0, 0}},
        {0, "5000000", "480", {640, 480}},   // the product overflows
        {0, "16000", "12000", {16000, 480}}, // 16000 x 12000 is past 256 MiB
        {0, "20000", "15000", {640, 15000}}, // a width past 16384 a side
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        f.Command14.click(); // back to 640 x 480 and the reference texts
        type(c.box, c.typed);
        EXPECT_EQ(f.Text1[1 - c.box].text(), c.other);
        EXPECT_EQ(canvasPx(), c.canvas);
    }
}

TEST_F(ResizeTest, EveryApplyRepaintsTheCropAndClearsTheDrawing) {
    stroke({{10, 10}, {300, 200}});
    type(0, "abc"); // the width stays, the canvas is still repainted
    EXPECT_EQ(f.Picture6.image(), surface.copy(0, 0, 640, 480));
    type(0, "320");
    const QImage half = f.Picture6.image();
    ASSERT_EQ(half.size(), QSize(320, 240));
    EXPECT_NEAR(qRed(half.pixel(160, 120)), qRed(surface.pixel(320, 240)), 40);
}

TEST_F(ResizeTest, TheSelectedRegionIsScaledSmoothlyOntoTheCanvas) {
    showAndCrop(surface, QRect(33, 21, 300, 200));
    f.Command5.click();
    type(0, "150");
    EXPECT_EQ(f.Picture6.image(),
              surface.copy(33, 21, 300, 200)
                  .scaled(150, 100, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    type(1, "300"); // larger than the region: stretched the other way
    EXPECT_EQ(f.Picture6.image(),
              surface.copy(33, 21, 300, 200)
                  .scaled(450, 300, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
}

TEST_F(ResizeTest, APastedNumberIsAppliedWithoutTheLink) {
    f.Text1[0].setText("200"); // a change without a key release
    EXPECT_EQ(f.Text1[1].text(), "480");
    EXPECT_EQ(canvasPx(), QSize(200, 480));
}

TEST_F(ResizeTest, AReferenceWidthOfZeroLeavesTheOtherBoxAlone) {
    f.Label4.setCaption("0");
    type(0, "50");
    EXPECT_EQ(f.Text1[1].text(), "480");
    EXPECT_EQ(canvasPx(), QSize(50, 480));
}

} // namespace
} // namespace zs::test
