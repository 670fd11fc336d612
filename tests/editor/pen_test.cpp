#include "tests/support/window_fixture.h"

#include <vector>

namespace zs::test {
namespace {

class PenTest : public WindowTest {
protected:
    void SetUp() override {
        QImage white(200, 100, QImage::Format_RGB32);
        white.fill(Qt::white);
        showAndCrop(white, white.rect());
        f.Command5.click(); // "Restore" then gives this crop back
    }

    int count(QRgb colour, QRect in = QRect(0, 0, 200, 100)) const {
        const QImage img = f.Picture6.image();
        int n = 0;
        for (int y = in.top(); y <= in.bottom(); ++y) {
            for (int x = in.left(); x <= in.right(); ++x) {
                n += img.pixel(x, y) == colour ? 1 : 0;
            }
        }
        return n;
    }

    QRect bounds(QRgb colour) const {
        const QImage img = f.Picture6.image();
        QRect r;
        for (int y = 0; y < img.height(); ++y) {
            for (int x = 0; x < img.width(); ++x) {
                if (img.pixel(x, y) == colour) {
                    r |= QRect(x, y, 1, 1);
                }
            }
        }
        return r;
    }

    static constexpr QRgb kRed = 0xFFFF0000;
};

TEST_F(PenTest, AClickDrawsNothingAndEveryButtonDraws) {
    stroke({{50, 50}});
    EXPECT_EQ(count(kRed), 0);
    for (const std::int16_t button : {kLeftButton, kRightButton, kMiddleButton}) {
        f.Command14.click(); // a clean canvas
        stroke({{20, 20}, {40, 20}}, button);
        EXPECT_GT(count(kRed), 0) << button;
    }
    f.editor.Picture6_MouseMove(kLeftButton, 0, 900, 900); // pen up: nothing
    EXPECT_EQ(count(kRed, QRect(45, 45, 30, 30)), 0);
}

TEST_F(PenTest, EachSegmentTakesTheSampleColourOfTheMoment) {
    f.editor.Picture10_Click(5); // blue while the pen is up: only the sample changes
    EXPECT_EQ(f.Shape6.backColor(), 0x00FF0000u);
    EXPECT_EQ(count(kRed) + count(0xFF0000FF), 0);
    f.Command1_Click(app::command1::kSaveCrop); // a crop of the pattern
    f.editor.Picture10_Click(4);
    stroke({{10, 50}, {190, 50}});
    const QImage img = f.Picture6.image();
    for (int x = 10; x <= 190; x += 20) {
        EXPECT_EQ(img.pixel(x, 50), 0xFFFFFFFF) << x; // white over the picture
    }
}

TEST_F(PenTest, PenPointsRoundToWholeTwipsTiesToEven) {
    struct Case {
        float x;
        std::int32_t pen;
    };
    for (const Case c : {Case{22.5f, 22}, Case{23.5f, 24}, Case{-0.5f, 0}, Case{7.49f, 7}}) {
        f.editor.Picture6_MouseDown(kLeftButton, 0, c.x, c.x);
        EXPECT_EQ(f.PenX, c.pen) << c.x;
        EXPECT_EQ(f.PenY, c.pen) << c.x;
        EXPECT_EQ(f.PenDown, -1);
        f.editor.Picture6_MouseMove(kLeftButton, 0, c.x + 100, 0);
        EXPECT_EQ(f.PenX, std::nearbyint(c.x + 100)) << c.x;
        f.editor.Picture6_MouseUp(kRightButton, 0, 0, 0); // any button lifts the pen
        EXPECT_EQ(f.PenDown, 0);
    }
}

TEST_F(PenTest, WidthsOneThreeAndSixWithRoundEndsAndDots) {
    struct Case {
        std::int16_t option;
        QRect line; // what a segment from (20, 50) to (60, 50) covers
        int dot;    // pixels of a dot
    };
    const std::vector<Case> cases = {
        {0, QRect(QPoint(20, 50), QPoint(60, 50)), 1},
        {1, QRect(QPoint(19, 49), QPoint(61, 51)), 9},
        {2, QRect(QPoint(17, 47), QPoint(62, 52)), 32}, // 6 x 6 less four corners
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.option);
        f.editor.Picture11_Click(c.option);
        f.Command14.click();
        stroke({{20, 50}, {60, 50}});
        EXPECT_EQ(bounds(kRed), c.line);
        if (c.option == 2) {
            for (const QPoint corner :
                 {c.line.topLeft(), c.line.topRight(), c.line.bottomLeft(), c.line.bottomRight()}) {
                EXPECT_NE(f.Picture6.image().pixel(corner), kRed) << "round end";
            }
        }
        stroke({{150, 50}, {150, 50}}); // a move that stays on the pixel
        EXPECT_EQ(count(kRed, QRect(140, 40, 20, 20)), c.dot);
    }
}

TEST_F(PenTest, ADragThatLeavesTheCanvasIsClippedAndComesBackConnected) {
    stroke({{100, 50}, {400, 50}, {400, 80}, {100, 80}, {-50, -50}, {10, 10}});
    const QImage img = f.Picture6.image();
    EXPECT_EQ(img.pixel(199, 50), kRed);
    EXPECT_EQ(img.pixel(199, 80), kRed); // on the way back in
    EXPECT_EQ(img.pixel(150, 80), kRed);
    EXPECT_EQ(img.pixel(0, 0), kRed);
    EXPECT_EQ(img.pixel(10, 10), kRed);
}

} // namespace
} // namespace zs::test
