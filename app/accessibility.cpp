#include "app/form1.h"

#include <QAccessible>

// What a screen reader says of each control, and the tips shown under the
// pointer: one row a control. A control whose caption says what it is gets
// no name here; every button gets a tip, naming its key where it has one.
namespace zs::app {

namespace {

struct Described {
    const char* name;
    int index;              // -1: not a member of a control array
    const char* accessible; // nullptr: the caption
    const char* tip;        // nullptr: none
    QAccessible::Role role; // for frames and picture boxes; NoRole: a group
};

constexpr QAccessible::Role kGroup = QAccessible::NoRole;

const Described kDescribed[] = {
    // The window's own panels.
    {"Frame12", -1, "Compact bar", nullptr, kGroup},
    {"Frame7", -1, "Settings", nullptr, kGroup},
    {"Frame4", -1, "Editor", nullptr, kGroup},
    {"Frame6", -1, "Exit panel", nullptr, kGroup},
    {"Frame3", -1, "Arrow pad", "Move the selection: hold an arrow, or use the arrow keys", kGroup},
    {"Frame5", -1, "Tool bar", nullptr, QAccessible::ToolBar},
    {"Picture2", -1, "Crop", nullptr, QAccessible::Graphic},
    {"Frame1", -1, "Hidden controls", nullptr, kGroup},
    {"Command2", -1, "Top-left corner", "Scroll the picture back to its top-left corner", kGroup},
    {"HScroll1", -1, "Scroll across", nullptr, kGroup},
    {"VScroll1", -1, "Scroll up and down", nullptr, kGroup},
    {"Picture1", -1, "Picture", nullptr, QAccessible::Pane},
    // The compact bar.
    {"Command19", -1, "Restore", "Restore the full window", kGroup},
    {"Command18", -1, "Capture", "Capture the screen", kGroup},
    // The settings: the colours of the selection rectangle.
    {"Picture9", 0, "Red", "Draw the selection in red", QAccessible::Button},
    {"Picture9", 1, "Yellow", "Draw the selection in yellow", QAccessible::Button},
    {"Picture9", 2, "Green", "Draw the selection in green", QAccessible::Button},
    {"Picture9", 3, "White", "Draw the selection in white", QAccessible::Button},
    {"Picture9", 4, "Black", "Draw the selection in black", QAccessible::Button},
    {"Picture9", 5, "Blue", "Draw the selection in blue", QAccessible::Button},
    {"Picture9", 6, "Magenta", "Draw the selection in magenta", QAccessible::Button},
    {"Picture9", 7, "Grey", "Draw the selection in grey", QAccessible::Button},
    {"Picture9", 8, "Dark teal", "Draw the selection in dark teal", QAccessible::Button},
    {"Command11", -1, nullptr, "Close the settings (Esc)", kGroup},
    // The editor.
    {"Picture3", -1, "Editor picture", nullptr, QAccessible::Graphic},
    {"Picture7", -1, "Editor picture", nullptr, QAccessible::Graphic},
    {"Frame9", -1, "Size in pixels", nullptr, kGroup},
    {"Picture8", -1, "Editor tools", nullptr, kGroup},
    {"Picture5", -1, "Canvas area", nullptr, QAccessible::Pane},
    {"Command7", -1, nullptr, "Apply the typed size", kGroup},
    {"Text1", 0, "Width in pixels", "The new width; the height follows", kGroup},
    {"Text1", 1, "Height in pixels", "The new height; the width follows", kGroup},
    {"Frame10", -1, "Pen", nullptr, kGroup},
    {"Frame8", -1, "Editor buttons", nullptr, kGroup},
    {"Picture10", 0, "Green", "Draw in green", QAccessible::Button},
    {"Picture10", 1, "Teal", "Draw in teal", QAccessible::Button},
    {"Picture10", 2, "Cyan", "Draw in cyan", QAccessible::Button},
    {"Picture10", 3, "Yellow", "Draw in yellow", QAccessible::Button},
    {"Picture10", 4, "White", "Draw in white", QAccessible::Button},
    {"Picture10", 5, "Blue", "Draw in blue", QAccessible::Button},
    {"Picture10", 6, "Red", "Draw in red", QAccessible::Button},
    {"Picture10", 7, "Orange", "Draw in orange", QAccessible::Button},
    {"Picture10", 8, "Magenta", "Draw in magenta", QAccessible::Button},
    {"Picture11", 0, "1 pixel", "A pen 1 pixel wide", QAccessible::Button},
    {"Picture11", 1, "3 pixels", "A pen 3 pixels wide", QAccessible::Button},
    {"Picture11", 2, "6 pixels", "A pen 6 pixels wide", QAccessible::Button},
    {"Option1", 0, "Pen 1 pixel wide", nullptr, kGroup},
    {"Option1", 1, "Pen 3 pixels wide", nullptr, kGroup},
    {"Option1", 2, "Pen 6 pixels wide", nullptr, kGroup},
    {"Command16", -1, nullptr, "Show or hide the size boxes", kGroup},
    {"Command8", -1, nullptr, "Save the edited picture as a BMP file (Ctrl+S)", kGroup},
    {"Command6", -1, nullptr, "Close the editor (Esc)", kGroup},
    {"Command13", -1, nullptr, "Print the edited picture (Ctrl+P)", kGroup},
    {"Command14", -1, nullptr, "Undo every change: the crop as it was cut", kGroup},
    {"Command15", -1, nullptr, "Copy the edited picture (Ctrl+C)", kGroup},
    {"Picture6", -1, "Canvas", "Drag to draw", QAccessible::Graphic},
    // The tool bar, the Exit panel and the start panel.
    {"Command1", 4, nullptr, "End the program", kGroup},
    {"Command17", -1, nullptr, "Shrink to a small bar in the screen's corner", kGroup},
    {"Command12", -1, nullptr, "Print the crop (Ctrl+P)", kGroup},
    {"Command10", -1, nullptr, "Choose the colour of the selection", kGroup},
    {"Check2", -1, nullptr, "Keep the window above other windows", kGroup},
    {"Command1", 5, nullptr, "Capture the screen", kGroup},
    {"Command3", 0, nullptr, "Save the crop as a BMP file (Ctrl+S)", kGroup},
    {"Command9", -1, nullptr, "Load a picture file (Ctrl+O)", kGroup},
    {"Command4", -1, nullptr, "Select the whole picture", kGroup},
    {"Command5", -1, nullptr, "Open the crop in the editor", kGroup},
    {"Check1", -1, nullptr, "Keep the selection square", kGroup},
    {"Command1", 3, nullptr, "Copy the crop again (Ctrl+C)", kGroup},
    {"Command3", 1, nullptr, "Save the crop as a BMP file (Ctrl+S)", kGroup},
    {"Command1", 1, nullptr, "Capture the screen", kGroup},
    {"FormScreenCapture", -1, "Captured picture", "Drag to select; the selection is copied",
     QAccessible::Graphic},
    {"Frame2", -1, "Start panel", nullptr, kGroup},
};

} // namespace

void Form1::describeControls() {
    for (const Described& d : kDescribed) {
        auto& control = m_set.get<WindowedControl>(d.name, d.index);
        if (d.accessible != nullptr) {
            control.setAccessibleName(QString::fromUtf8(d.accessible));
        }
        if (d.tip != nullptr) {
            control.setToolTip(QString::fromUtf8(d.tip));
        }
        if (auto* container = dynamic_cast<Container*>(&control);
            container != nullptr && d.role != kGroup) {
            container->setAccessibleRole(d.role);
        }
    }
}

} // namespace zs::app
