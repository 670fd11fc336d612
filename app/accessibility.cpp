#include "app/accessibility.h"

#include "app/form1.h"

#include <array>

// What a screen reader says of each control, and the tips shown under the
// pointer: one row a control. A control whose caption says what it is gets
// no name here; every button gets a tip, naming its key where it has one.
namespace zs::app {

namespace {

struct Described {
    Id name;
    int index;              // -1: not a member of a control array
    const char* accessible; // nullptr: the caption
    const char* tip;        // nullptr: none
    QAccessible::Role role; // for frames and picture boxes; NoRole: a group
};

constexpr QAccessible::Role kGroup = QAccessible::NoRole;

const Described kDescribed[] = {
    // The window's own panels.
    {Id::Frame12, -1, "Compact bar", nullptr, kGroup},
    {Id::Frame7, -1, "Settings", nullptr, kGroup},
    {Id::Frame4, -1, "Editor", nullptr, kGroup},
    {Id::Frame6, -1, "Exit panel", nullptr, kGroup},
    {Id::Frame3, -1, "Arrow pad", "Move the selection: hold an arrow, or use the arrow keys",
     kGroup},
    {Id::Frame5, -1, "Tool bar", nullptr, QAccessible::ToolBar},
    {Id::Picture2, -1, "Crop", nullptr, QAccessible::Graphic},
    {Id::Frame1, -1, "Hidden controls", nullptr, kGroup},
    {Id::Command2, -1, "Top-left corner", "Scroll the picture back to its top-left corner", kGroup},
    {Id::HScroll1, -1, "Scroll across", nullptr, kGroup},
    {Id::VScroll1, -1, "Scroll up and down", nullptr, kGroup},
    {Id::Picture1, -1, "Picture", nullptr, QAccessible::Pane},
    // The compact bar.
    {Id::Command19, -1, "Restore", "Restore the full window", kGroup},
    {Id::Command18, -1, "Capture", "Capture the screen", kGroup},
    // The settings (their colour swatches below).
    {Id::Command11, -1, nullptr, "Close the settings (Esc)", kGroup},
    // The editor.
    {Id::Picture3, -1, "Editor picture", nullptr, QAccessible::Graphic},
    {Id::Picture7, -1, "Editor picture", nullptr, QAccessible::Graphic},
    {Id::Frame9, -1, "Size in pixels", nullptr, kGroup},
    {Id::Picture8, -1, "Editor tools", nullptr, kGroup},
    {Id::Picture5, -1, "Canvas area", nullptr, QAccessible::Pane},
    {Id::Command7, -1, nullptr, "Apply the typed size", kGroup},
    {Id::Text1, 0, "Width in pixels", "The new width; the height follows", kGroup},
    {Id::Text1, 1, "Height in pixels", "The new height; the width follows", kGroup},
    {Id::Frame10, -1, "Pen", nullptr, kGroup},
    {Id::Frame8, -1, "Editor buttons", nullptr, kGroup},
    {Id::Picture11, 0, "1 pixel", "A pen 1 pixel wide", QAccessible::Button},
    {Id::Picture11, 1, "3 pixels", "A pen 3 pixels wide", QAccessible::Button},
    {Id::Picture11, 2, "6 pixels", "A pen 6 pixels wide", QAccessible::Button},
    {Id::Option1, 0, "Pen 1 pixel wide", nullptr, kGroup},
    {Id::Option1, 1, "Pen 3 pixels wide", nullptr, kGroup},
    {Id::Option1, 2, "Pen 6 pixels wide", nullptr, kGroup},
    {Id::Command16, -1, nullptr, "Show or hide the size boxes", kGroup},
    {Id::Command8, -1, nullptr, "Save the edited picture as a BMP file (Ctrl+S)", kGroup},
    {Id::Command6, -1, nullptr, "Close the editor (Esc)", kGroup},
    {Id::Command13, -1, nullptr, "Print the edited picture (Ctrl+P)", kGroup},
    {Id::Command14, -1, nullptr, "Undo every change: the crop as it was cut", kGroup},
    {Id::Command15, -1, nullptr, "Copy the edited picture (Ctrl+C)", kGroup},
    {Id::Picture6, -1, "Canvas", "Drag to draw", QAccessible::Graphic},
    // The tool bar, the Exit panel and the start panel.
    {Id::Command1, command1::kExit, nullptr, "End the program", kGroup},
    {Id::Command17, -1, nullptr, "Shrink to a small bar in the screen's corner", kGroup},
    {Id::Command12, -1, nullptr, "Print the crop (Ctrl+P)", kGroup},
    {Id::Command10, -1, nullptr, "Choose the colour of the selection", kGroup},
    {Id::Check2, -1, nullptr, "Keep the window above other windows", kGroup},
    {Id::Command1, command1::kToolBarCapture, nullptr, "Capture the screen", kGroup},
    {Id::Command3, command3::kToolBarSave, nullptr, "Save the crop as a BMP file (Ctrl+S)", kGroup},
    {Id::Command9, -1, nullptr, "Load a picture file (Ctrl+O)", kGroup},
    {Id::Command4, -1, nullptr, "Select the whole picture", kGroup},
    {Id::Command5, -1, nullptr, "Open the crop in the editor", kGroup},
    {Id::Check1, -1, nullptr, "Keep the selection square", kGroup},
    {Id::Command1, command1::kSaveCrop, nullptr, "Copy the crop again (Ctrl+C)", kGroup},
    {Id::Command3, command3::kStartPanelSave, nullptr, "Save the crop as a BMP file (Ctrl+S)",
     kGroup},
    {Id::Command1, command1::kStartPanelCapture, nullptr, "Capture the screen", kGroup},
    {Id::FormScreenCapture, -1, "Captured picture", "Drag to select; the selection is copied",
     QAccessible::Graphic},
    {Id::Frame2, -1, "Start panel", nullptr, kGroup},
};

// The colour swatches: picture boxes that act as buttons, each named for its
// colour (by index), with a tip that says what choosing it does.
struct Swatches {
    Id name;
    const char* tip; // %1: the colour, in lower case
    std::array<const char*, 9> colours;
};

const Swatches kSwatches[] = {
    // The colour of the selection rectangle, in the settings.
    {Id::Picture9,
     "Draw the selection in %1",
     {"Red", "Yellow", "Green", "White", "Black", "Blue", "Magenta", "Grey", "Dark teal"}},
    // The pen's colour, in the editor.
    {Id::Picture10,
     "Draw in %1",
     {"Green", "Teal", "Cyan", "Yellow", "White", "Blue", "Red", "Orange", "Magenta"}},
};

QString fromUtf8OrEmpty(const char* text) {
    return text != nullptr ? QString::fromUtf8(text) : QString();
}

} // namespace

std::vector<Description> descriptions() {
    std::vector<Description> result;
    for (const Described& d : kDescribed) {
        result.push_back(
            {d.name, d.index, fromUtf8OrEmpty(d.accessible), fromUtf8OrEmpty(d.tip), d.role});
    }
    for (const Swatches& s : kSwatches) {
        for (int i = 0; i < static_cast<int>(s.colours.size()); ++i) {
            const QString colour = QString::fromUtf8(s.colours.at(i));
            result.push_back({s.name, i, colour, QString::fromUtf8(s.tip).arg(colour.toLower()),
                              QAccessible::Button});
        }
    }
    return result;
}

void Form1::describeControls() {
    for (const Description& d : descriptions()) {
        auto& control = m_set.get<WindowedControl>(d.name, d.index);
        if (!d.accessible.isEmpty()) {
            control.setAccessibleName(d.accessible);
        }
        if (!d.tip.isEmpty()) {
            control.setToolTip(d.tip);
        }
        if (auto* container = dynamic_cast<Container*>(&control);
            container != nullptr && d.role != kGroup) {
            container->setAccessibleRole(d.role);
        }
    }
}

} // namespace zs::app
