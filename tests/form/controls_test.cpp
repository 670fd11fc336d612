#include "form/form.h"
#include "services/errors.h"
#include "services/fakes/fakes.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPainter>

#include <cmath>
#include <string>
#include <vector>

namespace zs {
namespace {

class ControlsTest : public ::testing::Test {
protected:
    fakes::FakeServices fake;
    Form form{fake.services, QStringLiteral("Form1")};
    std::vector<std::string> events;
};

TEST_F(ControlsTest, GeometryRoundsPositionAndSizeIndependently) {
    PictureBox box(form, form, "Box", -1);
    const struct {
        float left, width;
        int px, pxWidth;
    } cases[] = {
        {7, 7, 0, 0}, {8, 8, 1, 1}, {22, 30, 1, 2}, {-30, 15, -2, 1}, {112.5, 97.5, 8, 7},
    };
    for (const auto& c : cases) {
        box.move(c.left, 0, c.width, 15);
        EXPECT_EQ(box.rectPx().x(), c.px) << c.left;
        EXPECT_EQ(box.rectPx().width(), c.pxWidth) << c.width;
        EXPECT_EQ(box.left(), c.left); // the twips are kept as given
    }
}

// On a scaled output the window system gives positions between logical
// pixels (device pixel 301 is logical 150.5), which Qt's widgets round; the
// picture box hands on the fraction, so a drag can start on any device pixel.
TEST_F(ControlsTest, MouseEventsKeepTheFractionOfALogicalPixel) {
    PictureBox box(form, form, "Box", -1);
    std::vector<QPointF> seen;
    const auto record = [&](std::int16_t, std::int16_t, float x, float y) {
        seen.emplace_back(x / form.twipsPerPixelX(), y / form.twipsPerPixelY());
    };
    box.MouseDown = record;
    box.MouseMove = record;
    box.MouseUp = record;
    const QPointF inWindow(150.5, 40.25); // the box's own offset: 100, 10
    const QPointF rounded(51, 30);        // what Qt's widgets pass on
    for (const QEvent::Type type :
         {QEvent::MouseButtonPress, QEvent::MouseMove, QEvent::MouseButtonRelease}) {
        QMouseEvent event(type, rounded, inWindow, inWindow, Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(box.surface(), &event);
    }
    ASSERT_EQ(seen.size(), 3U);
    for (const QPointF& p : seen) {
        EXPECT_DOUBLE_EQ(p.x(), 50.5);
        EXPECT_DOUBLE_EQ(p.y(), 30.25);
    }
}

TEST_F(ControlsTest, NegativeSizeRefusedZeroAndNegativePositionAccepted) {
    Frame frame(form, form, "Frame", -1);
    frame.move(10, 10, 100, 100);
    EXPECT_THROW(frame.setWidth(-1), Error);
    EXPECT_THROW(frame.setHeight(-0.5F), Error);
    EXPECT_EQ(frame.width(), 100);
    frame.setWidth(0);
    frame.setLeft(-4440);
    EXPECT_EQ(frame.width(), 0);
    EXPECT_EQ(frame.left(), -4440);
}

TEST_F(ControlsTest, EventsOnlyOnRealChange) {
    CheckBox check(form, form, "Check", -1);
    TextBox text(form, form, "Text", 0);
    ScrollBar bar(form, form, "Bar", -1, Qt::Horizontal);
    check.Click = [&] { events.emplace_back("click"); };
    text.Change = [&] { events.push_back("change " + text.text().toStdString()); };
    bar.Change = [&] { events.push_back("bar " + std::to_string(bar.value())); };

    check.setValue(1);
    check.setValue(1);
    check.setValue(0);
    text.setText("12");
    text.setText("12");
    bar.setValue(5);
    bar.setValue(5);
    EXPECT_EQ(events, (std::vector<std::string>{"click", "click", "change 12", "bar 5"}));
}

TEST_F(ControlsTest, ScrollRangeChangeMovesValueInsideTheMaxSetter) {
    ScrollBar bar(form, form, "Bar", -1, Qt::Horizontal);
    bar.setMax(1000);
    bar.setValue(800);
    bool insideSetter = false;
    bar.Change = [&] {
        events.push_back("change " + std::to_string(bar.value()));
        EXPECT_TRUE(insideSetter);
    };
    insideSetter = true;
    bar.setMax(300);
    insideSetter = false;
    EXPECT_EQ(bar.value(), 300);
    // A range below Min runs from Min at its start to Max at its end.
    insideSetter = true;
    bar.setMax(-200);
    bar.setValue(-150);
    insideSetter = false;
    EXPECT_EQ(bar.value(), -150);
    EXPECT_EQ(events, (std::vector<std::string>{"change 300", "change 0", "change -150"}));
    EXPECT_THROW(bar.setValue(50), Error); // outside -200..0
    EXPECT_THROW(bar.setMax(32768), Error);
    EXPECT_THROW(bar.setMin(-32769), Error);
    EXPECT_EQ(bar.max(), -200);
}

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

TEST_F(ControlsTest, OptionButtonMarksItselfClearsSiblingsAndClicks) {
    Frame a(form, form, "A", -1);
    Frame b(form, form, "B", -1);
    OptionButton o0(form, a, "Option", 0);
    OptionButton o1(form, a, "Option", 1);
    OptionButton other(form, b, "Other", 0);
    o1.setValue(true);
    other.setValue(true);
    o0.Click = [&] { events.emplace_back("click 0"); };
    o1.Click = [&] { events.emplace_back("click 1"); };
    o0.setValue(true);
    o0.setValue(true); // already marked: no click
    EXPECT_TRUE(o0.value());
    EXPECT_FALSE(o1.value());
    EXPECT_TRUE(other.value()); // another container is left alone
    EXPECT_EQ(events, (std::vector<std::string>{"click 0"}));
}

TEST_F(ControlsTest, PictureBoxResizeKeepsOverlapAndFillsWithBackColor) {
    PictureBox box(form, form, "Box", -1);
    box.setBackColor(0x000000FF);
    box.move(0, 0, 4 * 15, 3 * 15);
    QImage& img = box.imageForWriting();
    img.fill(Qt::green);
    box.setWidth(6 * 15);
    box.setHeight(2 * 15);
    const QImage out = box.image();
    ASSERT_EQ(out.size(), QSize(6, 2));
    EXPECT_EQ(out.pixel(3, 1), qRgb(0, 255, 0));
    EXPECT_EQ(out.pixel(4, 0), qRgb(255, 0, 0));
}

TEST_F(ControlsTest, PictureAssignmentResetsTheImage) {
    PictureBox box(form, form, "Box", -1);
    box.setBackColor(0x00FFFFFF);
    box.move(0, 0, 5 * 15, 5 * 15);
    box.imageForWriting().fill(Qt::black);
    QImage pic(2, 2, QImage::Format_RGB32);
    pic.fill(Qt::blue);
    box.setPicture(pic);
    QImage out = box.image();
    EXPECT_EQ(out.pixel(1, 1), qRgb(0, 0, 255));
    EXPECT_EQ(out.pixel(3, 3), qRgb(255, 255, 255));
    box.setPicture(QImage());
    EXPECT_TRUE(box.picture().isNull());
    EXPECT_EQ(box.image().pixel(1, 1), qRgb(255, 255, 255));
}

TEST_F(ControlsTest, PaintPictureOneToOneAndOutsideTheSource) {
    const QImage src = fakes::patternImage(QSize(10, 10));
    PictureBox box(form, form, "Box", -1);
    box.setBackColor(0x00000000);
    box.move(0, 0, 4 * 15, 4 * 15);
    // Source rectangle from (8, -1): only columns 8..9 and rows 0..2 exist.
    box.paintPicture(src, 0, 0, 60, 60, 8 * 15, -1 * 15, 60, 60);
    const QImage out = box.image();
    EXPECT_EQ(out.pixel(0, 1), src.pixel(8, 0));
    EXPECT_EQ(out.pixel(1, 3), src.pixel(9, 2));
    EXPECT_EQ(out.pixel(0, 0), qRgb(0, 0, 0)); // above the source
    EXPECT_EQ(out.pixel(2, 2), qRgb(0, 0, 0)); // right of the source
}

TEST_F(ControlsTest, WholePictureCopySharesPixels) {
    const QImage src = fakes::patternImage(QSize(64, 48));
    PictureBox box(form, form, "Box", -1);
    box.move(0, 0, 64 * 15, 48 * 15);
    box.paintPicture(src, 0, 0, 64 * 15, 48 * 15, 0, 0, 64 * 15, 48 * 15);
    EXPECT_EQ(box.image().constBits(), src.constBits());
}

TEST_F(ControlsTest, ARegionCopySharesTheSourceUntilDrawnOn) {
    QImage src = fakes::patternImage(QSize(40, 30));
    const QImage original = src.copy();
    PictureBox box(form, form, "Box", -1);
    box.move(0, 0, 10 * 15, 8 * 15);
    box.paintPicture(src, 0, 0, 150, 120, 5 * 15, 6 * 15, 150, 120);
    EXPECT_EQ(box.image(), original.copy(5, 6, 10, 8));
    box.setDrawWidth(1);
    box.line(0, 0, 9 * 15, 0, 0x00FFFFFF);
    EXPECT_EQ(box.image().pixel(3, 0), qRgb(255, 255, 255));
    EXPECT_EQ(src, original); // drawing on the crop never reaches its source
    src = QImage();           // the crop keeps its pixels when the source goes
    EXPECT_EQ(box.image().pixel(3, 1), original.pixel(8, 7));
}

TEST_F(ControlsTest, ShapeRepaintsOnlyItsBorder) {
    PictureBox box(form, form, "Box", -1);
    box.move(0, 0, 3840 * 15, 2160 * 15);
    Shape shape(form, box, "Shape", -1);
    shape.move(0, 0, 3840 * 15, 2160 * 15);
    const QRegion border = shape.coverage();
    qint64 area = 0;
    for (const QRect& r : border) {
        area += static_cast<qint64>(r.width()) * r.height();
    }
    EXPECT_EQ(area, 2 * 3840 + 2 * 2158);
}

TEST_F(ControlsTest, LabelsShapesAndLinesPaintInStackingOrder) {
    PictureBox box(form, form, "Box", -1);
    box.move(0, 0, 10 * 15, 10 * 15);
    Shape top(form, box, "Top", -1);
    Shape bottom(form, box, "Bottom", -1);
    for (Shape* s : {&top, &bottom}) {
        s->move(0, 0, 150, 150);
        s->setOpaque(true);
    }
    top.setBackColor(0x000000FF);
    bottom.setBackColor(0x0000FF00);
    QImage canvas(10, 10, QImage::Format_RGB32);
    QPainter p(&canvas);
    box.paintGraphics(p, QRegion(0, 0, 10, 10));
    p.end();
    EXPECT_EQ(canvas.pixel(5, 5), qRgb(255, 0, 0)); // the first listed lies on top
}

TEST_F(ControlsTest, ImageTakesNaturalSizeAtTheScreensFactors) {
    fake.screen.tppX = 12;
    fake.screen.tppY = 12;
    Frame frame(form, form, "Frame", -1);
    Image image(form, frame, "Image", -1);
    image.setPicture(QImage(310, 240, QImage::Format_RGB32));
    EXPECT_EQ(image.width(), 310 * 12);
    EXPECT_EQ(image.height(), 240 * 12);
}

TEST_F(ControlsTest, LineDrawsIntoThePersistentImageClipped) {
    PictureBox box(form, form, "Box", -1);
    box.setBackColor(0x00FFFFFF);
    box.move(0, 0, 20 * 15, 20 * 15);
    box.setDrawWidth(3);
    box.line(5 * 15, 10 * 15, 40 * 15, 10 * 15, 0x000000FF);
    const QImage out = box.image();
    EXPECT_EQ(out.pixel(10, 10), qRgb(255, 0, 0));
    EXPECT_EQ(out.pixel(19, 10), qRgb(255, 0, 0));
    EXPECT_EQ(out.pixel(10, 14), qRgb(255, 255, 255));
    EXPECT_THROW(box.setDrawWidth(0), Error);
}

TEST_F(ControlsTest, LineEndsMapToTheNearestPixelAtEveryFactor) {
    // A pen point is a pointer position in twips, rounded to whole twips
    // (ties to even); the stroke must still start on the pixel pressed.
    const struct {
        float tpp;
        int px; // the pixel pressed, in x and y
    } cases[] = {{15, 7}, {12, 5}, {7.5F, 3}, {7.5F, 5}, {1440.0F / 168, 4}, {1440.0F / 168, 11}};
    for (const auto& c : cases) {
        fake.screen.tppX = fake.screen.tppY = c.tpp;
        PictureBox box(form, form, "Box", -1);
        box.setBackColor(0x00FFFFFF);
        box.move(0, 0, 40 * c.tpp, 40 * c.tpp);
        const float at = std::nearbyint(static_cast<float>(c.px) * c.tpp);
        const float end = static_cast<float>(c.px + 6) * c.tpp; // as the event gives it
        box.line(at, at, end, at, 0x00000000);
        const QImage img = box.image();
        QRect inked;
        for (int y = 0; y < img.height(); ++y) {
            for (int x = 0; x < img.width(); ++x) {
                if (img.pixel(x, y) == 0xFF000000) {
                    inked |= QRect(x, y, 1, 1);
                }
            }
        }
        EXPECT_EQ(inked, QRect(c.px, c.px, 7, 1)) << c.tpp << " " << c.px;
    }
}

} // namespace
} // namespace zs
