#include "tests/support/window_fixture.h"

namespace zs::test {
namespace {

class ArrowPad : public StartedWindowTest {
protected:
    void SetUp() override {
        StartedWindowTest::SetUp();
        captureScreen();
        select(3000, 1500, 4500, 2400); // 100 x 60 pixels at (200, 100)
    }
    void ticks(int n) {
        for (int i = 0; i < n; ++i) {
            f.Timer1.fire();
        }
    }
};

TEST_F(ArrowPad, EachArrowMovesTheRectangleAndReadoutTenTwipsPerTick) {
    struct Case {
        int index;
        std::int16_t nudgeX, nudgeY;
        float dx, dy; // after 50 ticks
    };
    const Case cases[] = {
        {0, 0, -1, 0, -500},
        {1, 1, 0, 500, 0},
        {2, 0, 1, 0, 500},
        {3, -1, 0, -500, 0},
    };
    for (const auto& c : cases) {
        const float left = f.Shape1.left();
        const float top = f.Shape1.top();
        const int sets = fake.clipboard.sets;
        pressArrow(c.index);
        EXPECT_TRUE(f.Timer1.enabled()) << c.index;
        EXPECT_EQ(f.NudgeX, c.nudgeX) << c.index;
        EXPECT_EQ(f.NudgeY, c.nudgeY) << c.index;
        ticks(50);
        EXPECT_EQ(f.Shape1.left(), left + c.dx) << c.index;
        EXPECT_EQ(f.Shape1.top(), top + c.dy) << c.index;
        EXPECT_EQ(f.Shape1.width(), 1500) << c.index;
        EXPECT_EQ(f.Label2.left(), f.Shape1.left() + 50) << c.index;
        EXPECT_EQ(f.Label2.top(), f.Shape1.top() + 50) << c.index;
        EXPECT_EQ(f.Label2.caption().toStdString(), "100X60") << c.index;
        EXPECT_EQ(fake.clipboard.sets, sets) << "no crop while held";

        releaseArrow(c.index);
        EXPECT_FALSE(f.Timer1.enabled());
        EXPECT_EQ(f.NudgeX, 0);
        EXPECT_EQ(f.NudgeY, 0);
        EXPECT_TRUE(f.Frame3.visible());
        EXPECT_EQ(fake.clipboard.sets, sets + 1);
        const QRect region(px(f.Shape1.left()), px(f.Shape1.top()), 100, 60);
        EXPECT_EQ(fake.clipboard.image, expectedCrop(screenContent(), region, holderBackground()))
            << c.index;
    }
}

TEST_F(ArrowPad, PressReleasedBeforeTheFirstTickStillCropsAgain) {
    const QImage before = fake.clipboard.image;
    const int sets = fake.clipboard.sets;
    pressArrow(1);
    releaseArrow(1);
    EXPECT_EQ(f.Shape1.left(), 3000);
    EXPECT_EQ(f.Label2.left(), 3050);
    EXPECT_EQ(fake.clipboard.sets, sets + 1);
    EXPECT_EQ(fake.clipboard.image, before);
}

TEST_F(ArrowPad, DoubleClickMovesLikeAPressAndEachReleaseCrops) {
    const int sets = fake.clipboard.sets;
    pressArrow(2);
    ticks(3);
    releaseArrow(2);
    f.capture.Image2_DblClick(2);
    EXPECT_TRUE(f.Timer1.enabled());
    EXPECT_EQ(f.NudgeY, 1);
    ticks(3);
    releaseArrow(2);
    EXPECT_EQ(f.Shape1.top(), 1560);
    EXPECT_EQ(fake.clipboard.sets, sets + 2);
}

TEST_F(ArrowPad, AnIndexOffThePadRunsTheTimerButMovesNothing) {
    pressArrow(7);
    EXPECT_TRUE(f.Timer1.enabled());
    ticks(5);
    EXPECT_EQ(f.Shape1.left(), 3000);
    EXPECT_EQ(f.Shape1.top(), 1500);
    releaseArrow(7);
    EXPECT_FALSE(f.Timer1.enabled());
}

TEST_F(ArrowPad, MovesTheWholeSurfaceRectangleOffItsOriginAndCropsPastTheEdge) {
    f.capture.Command4_Click();
    pressArrow(3);
    ticks(30); // 300 twips, 20 pixels to the left
    releaseArrow(3);
    EXPECT_EQ(f.Shape1.left(), -300);
    const QImage want =
        expectedCrop(screenContent(), QRect(-20, 0, 1920, 1080), holderBackground());
    EXPECT_EQ(fake.clipboard.image, want);
    EXPECT_EQ(f.Picture6.image(), want);
}

TEST_F(ArrowPad, APressOnTheSurfaceHidesThePadAndTheReleaseShowsIt) {
    ASSERT_TRUE(f.Frame3.visible());
    press(600, 600);
    EXPECT_FALSE(f.Frame3.visible());
    release(600, 600);
    EXPECT_TRUE(f.Frame3.visible());
}

// ---------------------------------------------------------------- scrolling

using Scrolling = StartedWindowTest;

TEST_F(Scrolling, TheSurfaceSitsAtTheNegatedValueOfEachBar) {
    struct Case {
        int hMax, vMax; // ranges set as a layout would
        int hValue, vValue;
    };
    const Case cases[] = {
        {1800, 1200, 1800, 1200}, // the thumbs at the far ends: the right edges meet
        {1800, 1200, 100, 1000},
        {-500, -300, -500, -120}, // a surface smaller than the viewport
        {32767, 32767, 32767, 32767},
        {-32768, -32768, -32768, -32768}, // +32768 twips, no 16-bit overflow
        {1800, 1200, 0, 0},
    };
    captureScreen();
    for (const auto& c : cases) {
        f.HScroll1.setMax(c.hMax);
        f.VScroll1.setMax(c.vMax);
        f.HScroll1.setValue(c.hValue);
        f.VScroll1.setValue(c.vValue);
        EXPECT_EQ(f.FormScreenCapture.left(), static_cast<float>(-c.hValue)) << c.hValue;
        EXPECT_EQ(f.FormScreenCapture.top(), static_cast<float>(-c.vValue)) << c.vValue;
        // The thumb dragged: the surface follows on every Scroll event.
        f.capture.HScroll1_Scroll();
        f.capture.VScroll1_Scroll();
        EXPECT_EQ(f.FormScreenCapture.left(), static_cast<float>(-c.hValue));
        EXPECT_EQ(f.FormScreenCapture.top(), static_cast<float>(-c.vValue));
    }
    EXPECT_TRUE(fake.messages.errors.empty());
}

TEST_F(Scrolling, ANewRangeThatNoLongerHoldsTheValueMovesTheSurfaceWithIt) {
    captureScreen();
    f.HScroll1.setMax(1800);
    f.HScroll1.setValue(1500);
    f.HScroll1.setMax(900);
    EXPECT_EQ(f.HScroll1.value(), 900);
    EXPECT_EQ(f.FormScreenCapture.left(), -900);
    f.HScroll1.setMax(-400);
    EXPECT_EQ(f.HScroll1.value(), 0);
    EXPECT_EQ(f.FormScreenCapture.left(), 0);
}

TEST_F(Scrolling, CornerButtonPutsTheSurfaceAndBothThumbsBackAtZero) {
    captureScreen();
    f.HScroll1.setMax(1800);
    f.VScroll1.setMax(1200);
    f.HScroll1.setValue(1000);
    f.VScroll1.setValue(700);
    select(1500, 1500, 3000, 3000);
    f.Command2.click();
    EXPECT_EQ(f.HScroll1.value(), 0);
    EXPECT_EQ(f.VScroll1.value(), 0);
    EXPECT_EQ(f.FormScreenCapture.left(), 0);
    EXPECT_EQ(f.FormScreenCapture.top(), 0);
    // The selection is on the surface and moved with it.
    EXPECT_EQ(f.Shape1.left(), 1500);
}

} // namespace
} // namespace zs::test
