#include "tests/support/window_fixture.h"

#include <vector>

namespace zs::test {
namespace {

using PanelTest = WindowTest;

TEST_F(PanelTest, OpeningRecordsTheReferenceSizeRoundedHalfAwayFromZero) {
    struct Case {
        float tpp, width, height;
        const char* refWidth;
        const char* refHeight;
    };
    const std::vector<Case> cases = {
        {15, 1207, 900, "80", "60"}, // 80.47
        {12, 990, 606, "83", "51"},  // 82.5 and 50.5 round up
        {15, 1, 1, "0", "0"},        // a click without dragging
        {15, 9607.5f, 7192.5f, "641", "480"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.refWidth);
        fake.screen.tppX = fake.screen.tppY = c.tpp;
        f.Picture2.setVisible(true);
        f.Shape1.move(0, 0, c.width, c.height);
        f.Command5.click();
        EXPECT_EQ(f.Label4.caption(), c.refWidth);
        EXPECT_EQ(f.Label6.caption(), c.refHeight);
        EXPECT_EQ(f.Text1[0].text(), c.refWidth);
        EXPECT_EQ(f.Text1[1].text(), c.refHeight);
        EXPECT_EQ(canvasPx(), QSize(QString(c.refWidth).toInt(), QString(c.refHeight).toInt()));
        EXPECT_TRUE(f.Frame4.visible());
        EXPECT_EQ(QRectF(f.Frame4.left(), f.Frame4.top(), f.Frame4.width(), f.Frame4.height()),
                  QRectF(0, 0, f.form.width(), f.form.height()));
        f.Command6.click();
        EXPECT_FALSE(f.Frame4.visible());
    }
}

TEST_F(PanelTest, OpeningNeedsACropAndSetsPenWidth3KeepingTheMarkedOption) {
    f.Option1[2].setValue(true);
    ASSERT_EQ(f.Picture6.drawWidth(), 6);
    f.Picture2.setVisible(false); // no crop: nothing happens
    f.Command5.click();
    EXPECT_FALSE(f.Frame4.visible());
    EXPECT_EQ(f.Label4.caption(), "Label4");
    EXPECT_EQ(f.Text1[0].text(), "0000");
    EXPECT_EQ(f.Picture6.drawWidth(), 6);
    showAndCrop(surface, QRect(100, 50, 64, 32));
    f.Command5.click();
    EXPECT_EQ(f.Picture6.drawWidth(), 3);
    EXPECT_TRUE(f.Option1[2].value());
    f.editor.Picture11_Click(2); // already marked: no click, the width stays
    EXPECT_EQ(f.Picture6.drawWidth(), 3);
    f.editor.Picture11_Click(0);
    EXPECT_EQ(f.Picture6.drawWidth(), 1);
    EXPECT_TRUE(f.Option1[0].value());
    EXPECT_FALSE(f.Option1[2].value());
    EXPECT_EQ(f.Picture6.image(), surface.copy(100, 50, 64, 32)); // the crop one to one
}

TEST_F(PanelTest, BackAndEditKeepTheDrawingAndTheSizePanelsState) {
    showAndCrop(surface, QRect(0, 0, 120, 90));
    f.Command5.click();
    stroke({{10, 10}, {100, 80}});
    const QImage drawn = f.Picture6.image();
    f.Command16.click();
    EXPECT_FALSE(f.Frame9.visible());
    f.Command6.click();
    f.Command5.click(); // same selection: the boxes do not change, nothing repaints
    EXPECT_EQ(f.Picture6.image(), drawn);
    EXPECT_EQ(f.Label4.caption(), "120");
    EXPECT_EQ(f.Text1[1].text(), "90");
    EXPECT_FALSE(f.Frame9.visible());
    f.Command16.click();
    EXPECT_TRUE(f.Frame9.visible());
}

TEST_F(PanelTest, RestoreAfterDrawingAndResizingShowsTheUndrawnCrop) {
    showAndCrop(surface, QRect(30, 40, 160, 120));
    f.Command5.click();
    type(0, "80");
    stroke({{5, 5}, {70, 50}});
    ASSERT_EQ(canvasPx(), QSize(80, 60));
    f.Command14.click();
    EXPECT_EQ(f.Text1[0].text(), "160");
    EXPECT_EQ(f.Text1[1].text(), "120");
    EXPECT_EQ(f.Picture6.image(), surface.copy(30, 40, 160, 120));
}

} // namespace
} // namespace zs::test
