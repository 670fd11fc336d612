#include "app/module1.h"
#include "tests/support/window_fixture.h"

#include <algorithm>

namespace zs::test {
namespace {

using WindowStateTest = WindowTest;

TEST(StayFront, PixelsRoundTiesToEvenAndClamp) {
    const struct {
        float twips;
        float tpp;
        int px;
    } cases[] = {
        {112.5F, 15, 8}, {97.5F, 15, 6},      {-97.5F, 15, -6},      {15675, 15, 1045},
        {990, 12, 82},   {600000, 15, 32767}, {-600000, 15, -32768},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(app::Module1::pixelsClamped16(c.twips, c.tpp), c.px) << c.twips;
    }
}

TEST_F(WindowStateTest, LoadBringsToFrontAndEndsInTheOrdinaryLayer) {
    f.FormScreenCapture.move(11640, 1920, 4215, 4095);
    f.Form_Load();
    EXPECT_EQ(f.FormScreenCapture.left(), 0);
    EXPECT_EQ(f.FormScreenCapture.top(), 0);
    ASSERT_EQ(fake.windowOrder.calls.size(), 2U);
    EXPECT_TRUE(fake.windowOrder.calls[0].first);
    EXPECT_FALSE(fake.windowOrder.calls[1].first);
    // The window's own outer rectangle in pixels.
    EXPECT_EQ(fake.windowOrder.calls[0].second.size(), QSize(1045, 801));
    EXPECT_GE(fake.pump.passes, 9); // 0.1 s of event passes at 0.01 s each
    EXPECT_LE(fake.pump.passes, 11);
    EXPECT_EQ(f.Frame10.top(), 180);
    EXPECT_EQ(f.Frame5.backColor(), 0x00FFFFFFU);
}

TEST_F(WindowStateTest, PerimeneWithZeroOrLessProcessesNothing) {
    for (float t : {0.0F, -1.0F}) {
        f.Perimene(t);
    }
    EXPECT_EQ(fake.pump.passes, 0);
    fake.pump.step = 0.125; // exact in binary, so the count is exact too
    f.Perimene(0.5F);
    EXPECT_EQ(fake.pump.passes, 4);
}

TEST_F(WindowStateTest, ExitDuringAWaitStopsTheWaitingHandler) {
    // "Exit" pressed while the capture waits for the window to leave the
    // screen: nothing after the wait runs, no copy is taken.
    fake.pump.onPass = [&] { f.Command1_Click(app::command1::kExit); };
    f.form.run("Click", [&] { f.Command1_Click(app::command1::kToolBarCapture); });
    EXPECT_TRUE(fake.application.quit);
    EXPECT_EQ(fake.application.code, 0);
    EXPECT_EQ(fake.capture.grabs, 0);
    EXPECT_TRUE(fake.messages.errors.empty());
}

TEST_F(WindowStateTest, StayFrontCheckBoxTogglesTheTopmostLayer) {
    f.Check2.setValue(1);
    EXPECT_TRUE(fake.windowOrder.topmost);
    f.Check2.setValue(0);
    EXPECT_FALSE(fake.windowOrder.topmost);
    EXPECT_EQ(fake.windowOrder.calls.size(), 2U);
}

TEST_F(WindowStateTest, ShrinkShowsTheCompactBarLastInASmallTopmostWindow) {
    bool barShownDuringResize = false;
    f.form.Resize = [&] {
        f.Form_Resize();
        barShownDuringResize = barShownDuringResize || f.Frame12.visible();
    };
    f.form.setWindowState(WindowState::Maximized);
    f.Command17_Click();
    EXPECT_FALSE(barShownDuringResize);
    EXPECT_TRUE(f.Frame12.visible());
    EXPECT_EQ(f.Frame12.left(), 0);
    EXPECT_EQ(f.Check2.value(), 1);
    EXPECT_TRUE(fake.windowOrder.topmost);
    EXPECT_EQ(f.form.windowState(), WindowState::Normal);
    EXPECT_EQ(f.form.width(), 1815);
    EXPECT_EQ(f.form.height(), 78 * 15); // 1165 twips in whole pixels
    // The layout ran inside the compact window: the tool bar lies above it.
    EXPECT_EQ(f.Frame5.top(), f.form.scaleHeight() - 1095);
    EXPECT_LT(f.Frame5.top(), 0);
}

TEST_F(WindowStateTest, ShrinkWithStayFrontCheckedRunsNoSecondClick) {
    f.Check2.setValue(1);
    const auto before = fake.windowOrder.calls.size();
    f.Command17_Click();
    EXPECT_EQ(fake.windowOrder.calls.size(), before);
}

TEST_F(WindowStateTest, RestoreReturnsToTheFullOuterSizeAndEndsCompactMode) {
    f.form.Resize = [&] { f.Form_Resize(); };
    f.Command17_Click();
    f.Command19_Click();
    EXPECT_EQ(f.form.width(), 15675);
    EXPECT_EQ(f.form.height(), 12015);
    EXPECT_FALSE(f.Frame12.visible());
    EXPECT_EQ(f.Check2.value(), 1);
    EXPECT_EQ(f.Frame5.top(), 10455);
}

TEST_F(WindowStateTest, ExitEndsWithStatusZeroOtherIndexesDoNothing) {
    f.Command1_Click(2);
    f.Command1_Click(0);
    EXPECT_FALSE(fake.application.quit);
    f.Command1_Click(app::command1::kExit);
    EXPECT_TRUE(fake.application.quit);
    EXPECT_EQ(fake.application.code, 0);
}

} // namespace
} // namespace zs::test
