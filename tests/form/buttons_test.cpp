#include "form/form.h"
#include "services/fakes/fakes.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>

#include <string>
#include <vector>

namespace zs {
namespace {

class ButtonsTest : public ::testing::Test {
protected:
    fakes::FakeServices fake;
    Form form{fake.services, QStringLiteral("Form1")};
};

// A press and a release of the left button at `at`, as the window system
// delivers them.
void clickAt(QWidget* widget, QPoint at) {
    const QPointF local(at);
    const QPointF global(widget->mapToGlobal(at));
    QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(widget, &release);
}

// Points spread over a 200 x 20 pixel control: the indicator, the caption,
// the empty right half and the corners all take the click.
const QPoint kPointsInside[] = {{6, 10}, {30, 10}, {150, 10}, {199, 19}, {0, 0}, {120, 1}};

TEST_F(ButtonsTest, CheckBoxTogglesOnAClickAnywhereInItsRectangle) {
    CheckBox check(form, form, "Check", -1);
    check.move(0, 0, 200 * 15, 20 * 15);
    check.setCaption(QStringLiteral("Square"));
    int clicks = 0;
    check.Click = [&] { ++clicks; };
    int expected = 0;
    for (const QPoint at : kPointsInside) {
        clickAt(check.widget(), at);
        expected = 1 - expected;
        EXPECT_EQ(check.value(), expected) << at.x() << "," << at.y();
    }
    EXPECT_EQ(clicks, static_cast<int>(std::size(kPointsInside)));
}

TEST_F(ButtonsTest, OptionButtonIsMarkedByAClickAnywhereInItsRectangle) {
    OptionButton first(form, form, "Option", 0);
    OptionButton second(form, form, "Option", 1);
    first.move(0, 0, 200 * 15, 20 * 15);
    second.move(0, 300, 200 * 15, 20 * 15);
    for (const QPoint at : kPointsInside) {
        second.setValue(true);
        clickAt(first.widget(), at);
        EXPECT_TRUE(first.value()) << at.x() << "," << at.y();
        EXPECT_FALSE(second.value()) << at.x() << "," << at.y();
    }
}

TEST_F(ButtonsTest, AClickOutsideTheRectangleDoesNothing) {
    CheckBox check(form, form, "Check", -1);
    check.move(0, 0, 200 * 15, 20 * 15);
    for (const QPoint at : {QPoint(200, 10), QPoint(-1, 10), QPoint(50, 20)}) {
        clickAt(check.widget(), at);
        EXPECT_EQ(check.value(), 0) << at.x() << "," << at.y();
    }
}

// The colour a control paints where neither its indicator nor its caption is.
QRgb backgroundOf(QWidget* widget) {
    const QImage shot = widget->grab().toImage();
    return shot.pixel(shot.width() - 3, shot.height() / 2) & 0xFFFFFF;
}

TEST_F(ButtonsTest, CheckBoxesAndOptionButtonsPaintTheirBackColor) {
    const struct {
        Color back;
        QRgb expected;
    } cases[] = {{0x00FFFFFF, 0xFFFFFF}, {0x000000FF, 0xFF0000}, {0x0080FF00, 0x00FF80}};
    for (const auto& c : cases) {
        CheckBox check(form, form, "Check", -1);
        check.move(0, 0, 150 * 15, 20 * 15);
        check.setCaption(QStringLiteral("Stay front"));
        check.setColors(kWindowText, c.back);
        EXPECT_EQ(backgroundOf(check.widget()), c.expected) << std::hex << c.back;

        OptionButton option(form, form, "Option", 0);
        option.move(0, 0, 150 * 15, 20 * 15);
        option.setBackColor(c.back);
        EXPECT_EQ(backgroundOf(option.widget()), c.expected) << std::hex << c.back;
    }
}

} // namespace
} // namespace zs
