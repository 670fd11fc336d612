#include "tests/support/window_fixture.h"

#include <QApplication>
#include <QKeyEvent>

#include <string>
#include <vector>

namespace zs::test {
namespace {

class ShortcutsTest : public WindowTest {
protected:
    // A press and a release of `key`, delivered to `receiver` as to the
    // control with the focus (the window itself when none has it).
    void pressKey(QKeyCombination key, QWidget* receiver = nullptr) {
        QWidget* to = receiver != nullptr ? receiver : f.form.widget();
        QKeyEvent down(QEvent::KeyPress, key.key(), key.keyboardModifiers());
        QApplication::sendEvent(to, &down);
        QKeyEvent up(QEvent::KeyRelease, key.key(), key.keyboardModifiers());
        QApplication::sendEvent(to, &up);
    }

    // A finished selection of the pixel rectangle `px` on the surface, as
    // the mouse makes it: the crop is on the clipboard, the arrow pad shown.
    void selectPx(QRect px) {
        showAndCrop(surface, QRect(0, 0, 1, 1));
        const float t = fake.screen.tppX;
        select(static_cast<float>(px.x()) * t, static_cast<float>(px.y()) * t,
               static_cast<float>(px.x() + px.width()) * t,
               static_cast<float>(px.y() + px.height()) * t);
    }

    // The editor open on a crop with a stroke on it, so the canvas differs
    // from the crop.
    void openEditor() {
        selectPx(QRect(40, 30, 120, 90));
        f.Command5.click();
        stroke({{5, 5}, {60, 40}});
        ASSERT_TRUE(f.Frame4.visible());
        ASSERT_NE(f.Picture6.image(), f.Picture2.image());
    }

    std::vector<std::string> logAfter(const std::function<void()>& step) {
        fake.log.clear();
        step();
        return fake.log;
    }
};

TEST_F(ShortcutsTest, EachKeyRunsTheButtonOfThePanelInFront) {
    selectPx(QRect(40, 30, 120, 90));
    const QImage crop = f.Picture2.image();
    ASSERT_EQ(crop, surface.copy(40, 30, 120, 90));

    // The main view: the tool bar's buttons.
    fake.dialogs.answers = {path("main")};
    pressKey(Qt::CTRL | Qt::Key_S);
    EXPECT_EQ(readImage(path("main.bmp")), crop);
    pressKey(Qt::CTRL | Qt::Key_P);
    ASSERT_EQ(fake.printer.jobs.size(), 1U);
    EXPECT_EQ(fake.printer.jobs.back().first, crop);
    fake.clipboard.image = QImage();
    pressKey(Qt::CTRL | Qt::Key_C); // the crop again
    EXPECT_EQ(fake.clipboard.image, crop);
    EXPECT_EQ(logAfter([&] { pressKey(Qt::CTRL | Qt::Key_O); }),
              (std::vector<std::string>{"open dialog", "pointer busy", "pointer default"}));

    // The editor: its own buttons, on the drawn-on canvas.
    f.Command5.click();
    stroke({{5, 5}, {60, 40}});
    const QImage canvas = f.Picture6.image();
    ASSERT_NE(canvas, crop);
    fake.dialogs.answers = {path("edited")};
    pressKey(Qt::CTRL | Qt::Key_S);
    EXPECT_EQ(readImage(path("edited.bmp")), canvas);
    pressKey(Qt::CTRL | Qt::Key_P);
    EXPECT_EQ(fake.printer.jobs.back().first, canvas);
    pressKey(Qt::CTRL | Qt::Key_C);
    EXPECT_EQ(fake.clipboard.image, canvas);
    EXPECT_TRUE(logAfter([&] { pressKey(Qt::CTRL | Qt::Key_O); }).empty()); // no Load here
    pressKey(Qt::Key_Escape);
    EXPECT_FALSE(f.Frame4.visible());

    // The settings panel: Escape leaves it, the rest does nothing.
    f.Command10.click();
    ASSERT_TRUE(f.Frame7.visible());
    for (const QKeyCombination key :
         {Qt::CTRL | Qt::Key_S, Qt::CTRL | Qt::Key_P, Qt::CTRL | Qt::Key_C, Qt::CTRL | Qt::Key_O}) {
        EXPECT_TRUE(logAfter([&] { pressKey(key); }).empty()) << key.toCombined();
    }
    pressKey(Qt::Key_Escape);
    EXPECT_FALSE(f.Frame7.visible());
}

TEST_F(ShortcutsTest, NothingRunsWhereItsButtonIsNotInFront) {
    // Before any selection: no crop to copy, no arrow pad; Escape has no
    // panel to leave.
    const float left = f.Shape1.left();
    for (const QKeyCombination key :
         {Qt::CTRL | Qt::Key_C, QKeyCombination(Qt::Key_Right), QKeyCombination(Qt::Key_Escape)}) {
        EXPECT_TRUE(logAfter([&] { pressKey(key); }).empty()) << key.toCombined();
    }
    EXPECT_EQ(f.Shape1.left(), left);
    // The compact window shows only its bar.
    selectPx(QRect(10, 10, 50, 50));
    f.Command17.click();
    ASSERT_TRUE(f.Frame12.visible());
    for (const QKeyCombination key :
         {Qt::CTRL | Qt::Key_S, Qt::CTRL | Qt::Key_P, Qt::CTRL | Qt::Key_C, Qt::CTRL | Qt::Key_O,
          QKeyCombination(Qt::Key_Up)}) {
        EXPECT_TRUE(logAfter([&] { pressKey(key); }).empty()) << key.toCombined();
    }
}

TEST_F(ShortcutsTest, ArrowsNudgeAFinishedSelectionOneTimerStepEach) {
    selectPx(QRect(40, 30, 120, 90));
    const float left = f.Shape1.left();
    const float top = f.Shape1.top();
    const struct {
        Qt::Key key;
        float dx, dy;
    } steps[] = {{Qt::Key_Right, 10, 0}, {Qt::Key_Right, 20, 0}, {Qt::Key_Down, 20, 10},
                 {Qt::Key_Left, 10, 10}, {Qt::Key_Up, 10, 0},    {Qt::Key_Up, 10, -10}};
    for (const auto& s : steps) {
        // Also while a tool-bar button has the focus, which would otherwise
        // move the focus with the arrows.
        pressKey(QKeyCombination(s.key), f.Command9.widget());
        EXPECT_EQ(f.Shape1.left(), left + s.dx) << s.key;
        EXPECT_EQ(f.Shape1.top(), top + s.dy) << s.key;
        EXPECT_EQ(f.Label2.left(), f.Shape1.left() + 50);
        EXPECT_EQ(f.NudgeX, 0);
        EXPECT_EQ(f.NudgeY, 0);
        EXPECT_FALSE(f.Timer1.enabled());
    }
    // Each step cuts the crop again, as a release of the arrow does.
    f.Shape1.move(15 * 15, 15 * 15, 40 * 15, 30 * 15);
    fake.clipboard.image = QImage();
    pressKey(QKeyCombination(Qt::KeypadModifier, Qt::Key_Left)); // the keypad's arrow too
    EXPECT_EQ(f.Shape1.left(), 15 * 15 - 10);
    EXPECT_FALSE(fake.clipboard.image.isNull());
}

TEST_F(ShortcutsTest, ASizeBoxKeepsTheKeysItTypesWith) {
    openEditor();
    QWidget* box = f.Text1[0].widget();
    // Ctrl+C copies the box's text, not the canvas.
    EXPECT_TRUE(logAfter([&] { pressKey(Qt::CTRL | Qt::Key_C, box); }).empty());
    // Keys the box has no use for still reach the window.
    fake.dialogs.answers = {std::nullopt};
    EXPECT_EQ(logAfter([&] { pressKey(Qt::CTRL | Qt::Key_S, box); }),
              (std::vector<std::string>{"save dialog"}));
    pressKey(Qt::Key_Escape, box);
    EXPECT_FALSE(f.Frame4.visible());
}

} // namespace
} // namespace zs::test
