#include "tests/app/form1_fixture.h"

namespace zs::test {
namespace {

using CompositionTest = Form1Test;

TEST_F(CompositionTest, StartStateOfThePanels) {
    EXPECT_EQ(f.form.caption(), QStringLiteral("Zentrim Screen"));
    for (Control* shown : std::initializer_list<Control*>{
             &f.Frame5, &f.Frame6, &f.Command2, &f.HScroll1, &f.VScroll1, &f.Picture1, &f.Frame2}) {
        EXPECT_TRUE(shown->visible()) << shown->name().toStdString();
    }
    for (Control* hidden : std::initializer_list<Control*>{
             &f.Frame12, &f.Frame7, &f.Frame4, &f.Frame3, &f.Picture2, &f.Frame1,
             &f.FormScreenCapture, &f.Shape1, &f.Label2, &f.Picture3, &f.Command7}) {
        EXPECT_FALSE(hidden->visible()) << hidden->name().toStdString();
    }
    EXPECT_FALSE(f.Label4.shown()); // inside the never-shown Picture3
}

TEST_F(CompositionTest, DesignValuesFromTheCatalogue) {
    EXPECT_EQ(f.Frame12.rectPx(), QRect(304, 512, 121, 65));
    EXPECT_EQ(f.Frame12.backColor(), 0x000000FFU);
    EXPECT_EQ(f.Command1[5].caption(), QStringLiteral("Capture"));
    EXPECT_EQ(f.Command1[3].caption(), QStringLiteral("Save Crop"));
    EXPECT_EQ(f.Command7.caption(), QStringLiteral("Αλλαγή"));
    EXPECT_EQ(f.Label5[2].caption(), QStringLiteral("Αρχικό μέγεθος"));
    EXPECT_EQ(f.Label1[0].caption(),
              QStringLiteral("1. Press                    to capture all the screen"));
    EXPECT_EQ(f.Label2.caption(), QStringLiteral("0 X 0"));
    EXPECT_EQ(f.Text1[0].text(), QStringLiteral("0000"));
    EXPECT_EQ(f.HScroll1.max(), 32767);
    EXPECT_EQ(f.Shape1.borderColor(), 0x000000FFU);
    EXPECT_EQ(f.Shape1.borderStyle(), LineStyle::Dash);
    EXPECT_EQ(f.Line1[0].y2(), 20000);
    EXPECT_EQ(f.Line1[1].x2(), 30000);
    EXPECT_TRUE(f.Option1[1].value());
    EXPECT_FALSE(f.Option1[0].value());
    EXPECT_EQ(f.Shape6.backColor(), 0x000000FFU);
    EXPECT_EQ(f.Line2[2].borderWidth(), 6);
    EXPECT_EQ(f.Timer1.interval(), 20);
    EXPECT_FALSE(f.Timer1.enabled());
    EXPECT_EQ(f.Picture9[8].backColor(), 0x00404000U);
    EXPECT_EQ(f.Picture10[7].backColor(), 0x000080FFU);
    EXPECT_EQ(f.Image1[5].picture().size(), QSize(310, 240));
    EXPECT_EQ(f.Image2[1].picture().size(), QSize(16, 16));
    EXPECT_EQ(f.Check1.value(), 0);
}

TEST_F(CompositionTest, SettingsPanelOpensChoosesAndCloses) {
    f.Command10_Click();
    EXPECT_TRUE(f.Frame7.visible());
    EXPECT_EQ(f.Frame7.left(), 0);
    EXPECT_EQ(f.Frame7.top(), 0);
    f.Picture9_Click(3); // white, before anything is captured
    EXPECT_EQ(f.Shape5.borderColor(), 0x00FFFFFFU);
    EXPECT_EQ(f.Shape1.borderColor(), 0x00FFFFFFU);
    EXPECT_EQ(f.Shape1.borderStyle(), LineStyle::Dash);
    f.Command11_Click();
    EXPECT_FALSE(f.Frame7.visible());
    EXPECT_EQ(f.Frame7.left(), 0); // keeps its place
    f.Command10_Click();
    EXPECT_EQ(f.Shape5.borderColor(), 0x00FFFFFFU); // the choice survives
    f.Picture9_Click(8);
    EXPECT_EQ(f.Shape1.borderColor(), 0x00404000U);
}

} // namespace
} // namespace zs::test
