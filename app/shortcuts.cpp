#include "app/form1.h"

// The keyboard: each key runs the handler of the button that does the same,
// on the part of the window that is in front.
namespace zs::app {

void Form1::wireShortcuts() {
    // The panel in front: the compact bar, the settings, the editor, or the
    // main view with the tool bar.
    const auto settingsInFront = [this] { return !Frame12.visible() && Frame7.visible(); };
    const auto editorInFront = [this] {
        return !Frame12.visible() && !Frame7.visible() && Frame4.visible();
    };
    const auto mainInFront = [this] {
        return !Frame12.visible() && !Frame7.visible() && !Frame4.visible();
    };
    const auto pressOf = [](Button& button) { return [&button] { button.click(); }; };

    struct Row {
        QKeyCombination key;
        std::function<bool()> available;
        std::function<void()> action;
    };
    const Row rows[] = {
        // Copy: the edited canvas in the editor, the current crop again in
        // the main view (the crop step that a finished selection runs).
        {Qt::CTRL | Qt::Key_C, editorInFront, pressOf(Command15)},
        {Qt::CTRL | Qt::Key_C, [=, this] { return mainInFront() && Picture2.visible(); },
         pressOf(Command1[command1::kSaveCrop])},
        {Qt::CTRL | Qt::Key_S, editorInFront, pressOf(Command8)},
        {Qt::CTRL | Qt::Key_S, mainInFront, pressOf(Command3[command3::kToolBarSave])},
        {Qt::CTRL | Qt::Key_P, editorInFront, pressOf(Command13)},
        {Qt::CTRL | Qt::Key_P, mainInFront, pressOf(Command12)},
        {Qt::CTRL | Qt::Key_O, mainInFront, pressOf(Command9)},
        // Escape leaves the settings panel or the editor, as "Back" does.
        {QKeyCombination(Qt::Key_Escape), settingsInFront, pressOf(Command11)},
        {QKeyCombination(Qt::Key_Escape), editorInFront, pressOf(Command6)},
    };
    for (const Row& row : rows) {
        m_keys.add(row.key, row.available, row.action);
    }
    // The arrows nudge a finished selection while its arrow pad is shown.
    const std::pair<Qt::Key, std::int16_t> arrows[] = {
        {Qt::Key_Up, 0}, {Qt::Key_Right, 1}, {Qt::Key_Down, 2}, {Qt::Key_Left, 3}};
    for (const auto& [key, index] : arrows) {
        m_keys.add(
            QKeyCombination(key), [=, this] { return mainInFront() && Frame3.visible(); },
            [this, index = index] { nudgeOnce(index); });
    }
}

void Form1::nudgeOnce(std::int16_t Index) {
    capture.Image2_MouseDown(Index, kLeftButton, 0, 0, 0);
    Timer1.fire();
    capture.Image2_MouseUp(Index, kLeftButton, 0, 0, 0);
}

} // namespace zs::app
