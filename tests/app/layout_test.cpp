#include "tests/support/window_fixture.h"

namespace zs::test {
namespace {

using LayoutTest = WindowTest;

struct Expect {
    const char* what;
    float actual;
    float expected;
};

void check(std::initializer_list<Expect> expectations) {
    for (const auto& e : expectations) {
        EXPECT_EQ(e.actual, e.expected) << e.what;
    }
}

TEST_F(LayoutTest, DesignSizeGivesTheWorkedFigures) {
    ASSERT_EQ(f.form.scaleWidth(), 15555);
    ASSERT_EQ(f.form.scaleHeight(), 11550);
    f.Form_Resize();
    check({
        {"Frame5.Left", f.Frame5.left(), 0},
        {"Frame5.Top", f.Frame5.top(), 10455},
        {"Frame6.Left", f.Frame6.left(), 13860},
        {"Frame6.Top", f.Frame6.top(), 10455},
        {"HScroll1.Top", f.HScroll1.top(), 10080},
        {"HScroll1.Width", f.HScroll1.width(), 15180},
        {"VScroll1.Left", f.VScroll1.left(), 15180},
        {"VScroll1.Height", f.VScroll1.height(), 10080},
        {"Command2.Left", f.Command2.left(), 15180},
        {"Command2.Top", f.Command2.top(), 10080},
        {"Picture1.Width", f.Picture1.width(), 15180},
        {"Picture1.Height", f.Picture1.height(), 10080},
        {"HScroll1.Max", static_cast<float>(f.HScroll1.max()), -10965},
        {"VScroll1.Max", static_cast<float>(f.VScroll1.max()), -5985},
        {"Frame4.Width", f.Frame4.width(), 15675},
        {"Frame4.Height", f.Frame4.height(), 12015},
        {"Picture5.Width", f.Picture5.width(), 15315},
        {"Picture5.Height", f.Picture5.height(), 10095},
        {"Picture8.Top", f.Picture8.top(), 10335},
        {"Picture8.Width", f.Picture8.width(), 15315},
        {"Frame8.Left", f.Frame8.left(), 60},
        {"Frame10.Left", f.Frame10.left(), 120},
        {"Frame9.Top", f.Frame9.top(), 9375},
    });
    EXPECT_FALSE(f.Frame12.visible());
}

TEST_F(LayoutTest, MinimisedKeepsSizesThatWouldTurnNegative) {
    f.Form_Resize();
    f.form.setWindowState(WindowState::Minimized); // raises the layout with 0 x 0
    check({
        {"Frame5.Top", f.Frame5.top(), -1095},
        {"Frame6.Top", f.Frame6.top(), -1095},
        {"Frame6.Left", f.Frame6.left(), -1695},
        {"HScroll1.Top", f.HScroll1.top(), -1470},
        {"VScroll1.Left", f.VScroll1.left(), -375},
        {"Command2.Left", f.Command2.left(), -375},
        {"Command2.Top", f.Command2.top(), -1470},
        {"HScroll1.Width", f.HScroll1.width(), 15180},
        {"VScroll1.Height", f.VScroll1.height(), 10080},
        {"Picture1.Width", f.Picture1.width(), 15180},
        {"Picture1.Height", f.Picture1.height(), 10080},
        {"Picture5.Width", f.Picture5.width(), 15315},
        {"Picture5.Height", f.Picture5.height(), 10095},
        {"HScroll1.Max", static_cast<float>(f.HScroll1.max()), -10965},
    });
    f.form.setWindowState(WindowState::Normal);
    EXPECT_EQ(f.Frame5.top(), 10455);
}

TEST_F(LayoutTest, SurfaceMoreThan32767TwipsLargerKeepsThePreviousMax) {
    f.Form_Resize();
    f.FormScreenCapture.setWidth(3840 * 15);  // 57600 - 15180 does not fit 16 bits
    f.FormScreenCapture.setHeight(2000 * 15); // 30000 - 10080 does
    f.Form_Resize();
    EXPECT_EQ(f.HScroll1.max(), -10965);
    EXPECT_EQ(f.VScroll1.max(), 30000 - 10080);
}

TEST_F(LayoutTest, ResizingWithTheSettingsPanelOpenLeavesItCovering) {
    f.Command10_Click();
    f.form.setWidth(9000);
    EXPECT_EQ(f.Frame7.left(), 0);
    EXPECT_EQ(f.Frame7.width(), 30000);
    EXPECT_EQ(f.Frame7.height(), 70000);
    EXPECT_TRUE(f.Frame7.visible());
}

} // namespace
} // namespace zs::test
