#pragma once

#include "form/controls.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <tuple>
#include <type_traits>

// The window's controls, each named once. The list below is the one place a
// control's name is written: the ids of the catalogue and of the
// accessibility table, the names the controls carry at run time, and Form1's
// members with their look-ups all come from it, so a misspelt name fails the
// build.
namespace zs::app {

// What a control is; KindClasses below gives each its class, in this order.
enum class Kind {
    Frame,
    PictureBox,
    Label,
    TextBox,
    Button,
    CheckBox,
    OptionButton,
    HScrollBar,
    VScrollBar,
    Timer,
    Shape,
    Line,
    Image,
};

// One control, or a control array (controls that share a name, told apart
// by an index).
enum class Count { One, Array };

// ZS_FORM1_CONTROLS(X) calls X(name, kind, count) for every control of the
// window: `name` as written in code and seen by screen readers, `kind` a
// Kind, `count` a Count. Grouped by the part of the window they belong to;
// Form1 declares its members in this order.
// clang-format off
#define ZS_FORM1_CONTROLS(X)                                        \
    /* The window's own children, top first. */                     \
    X(Frame12, Frame, One)                                          \
    X(Frame7, Frame, One)                                           \
    X(Frame4, Frame, One)                                           \
    X(Frame6, Frame, One)                                           \
    X(Frame3, Frame, One)                                           \
    X(Frame5, Frame, One)                                           \
    X(Picture2, PictureBox, One)                                    \
    X(Frame1, Frame, One)                                           \
    X(Command2, Button, One)                                        \
    X(HScroll1, HScrollBar, One)                                    \
    X(VScroll1, VScrollBar, One)                                    \
    X(Picture1, PictureBox, One)                                    \
    /* The compact bar. */                                          \
    X(Command19, Button, One)                                       \
    X(Command18, Button, One)                                       \
    /* The settings panel. */                                       \
    X(Picture9, PictureBox, Array)                                  \
    X(Command11, Button, One)                                       \
    X(Shape5, Shape, One)                                           \
    X(Label7, Label, Array)                                         \
    X(Shape4, Shape, Array)                                         \
    /* The editor. */                                               \
    X(Picture3, PictureBox, One)                                    \
    X(Frame9, Frame, One)                                           \
    X(Picture8, PictureBox, One)                                    \
    X(Picture5, PictureBox, One)                                    \
    X(Picture7, PictureBox, One)                                    \
    X(Label4, Label, One)                                           \
    X(Label6, Label, One)                                           \
    X(Label5, Label, Array)                                         \
    X(Command7, Button, One)                                        \
    X(Text1, TextBox, Array)                                        \
    X(Frame10, Frame, One)                                          \
    X(Frame8, Frame, One)                                           \
    X(Picture10, PictureBox, Array)                                 \
    X(Picture11, PictureBox, Array)                                 \
    X(Option1, OptionButton, Array)                                 \
    X(Shape6, Shape, One)                                           \
    X(Line2, Line, Array)                                           \
    X(Command16, Button, One)                                       \
    X(Command8, Button, One)                                        \
    X(Command6, Button, One)                                        \
    X(Command13, Button, One)                                       \
    X(Command14, Button, One)                                       \
    X(Command15, Button, One)                                       \
    X(Picture6, PictureBox, One)                                    \
    /* The shared button arrays, the tool bar and the arrow pad. */ \
    X(Command1, Button, Array)                                      \
    X(Command3, Button, Array)                                      \
    X(Timer1, Timer, One)                                           \
    X(Image2, Image, Array)                                         \
    X(Command17, Button, One)                                       \
    X(Command12, Button, One)                                       \
    X(Command10, Button, One)                                       \
    X(Check2, CheckBox, One)                                        \
    X(Command9, Button, One)                                        \
    X(Command4, Button, One)                                        \
    X(Command5, Button, One)                                        \
    X(Check1, CheckBox, One)                                        \
    X(Image3, Image, One)                                           \
    /* The viewport and the start panel. */                         \
    X(FormScreenCapture, PictureBox, One)                           \
    X(Frame2, Frame, One)                                           \
    X(Line1, Line, Array)                                           \
    X(Shape1, Shape, One)                                           \
    X(Label2, Label, One)                                           \
    X(Label1, Label, Array)                                         \
    X(Image1, Image, Array)                                         \
    X(Label3, Label, One)                                           \
    X(Shape2, Shape, One)
// clang-format on

// A control of the window: `Id::Frame12`.
enum class Id : std::uint8_t {
#define ZS_ID(name, kind, count) name,
    ZS_FORM1_CONTROLS(ZS_ID)
#undef ZS_ID
};

struct Listed {
    const char* name;
    Kind kind;
    Count count;
};

inline constexpr auto kListed = std::to_array<Listed>({
#define ZS_LISTED(name, kind, count) {#name, Kind::kind, Count::count},
    ZS_FORM1_CONTROLS(ZS_LISTED)
#undef ZS_LISTED
});

constexpr const Listed& listed(Id id) {
    return kListed.at(static_cast<std::size_t>(id));
}
constexpr const char* nameOf(Id id) {
    return listed(id).name;
}
constexpr Kind kindOf(Id id) {
    return listed(id).kind;
}
constexpr bool isArray(Id id) {
    return listed(id).count == Count::Array;
}

// The runtime's class for each kind, in the order of Kind.
using KindClasses = std::tuple<Frame, PictureBox, Label, TextBox, Button, CheckBox, OptionButton,
                               ScrollBar, ScrollBar, Timer, Shape, Line, Image>;
static_assert(std::tuple_size_v<KindClasses> == static_cast<std::size_t>(Kind::Image) + 1);
template <Kind K> using ClassOf = std::tuple_element_t<static_cast<std::size_t>(K), KindClasses>;

// What Form1 holds for a control: a reference to it, or its control array.
template <Kind K, Count C>
using MemberOf = std::conditional_t<C == Count::One, ClassOf<K>&, ControlArray<ClassOf<K>>>;

// The buttons of the Command1 array, whose clicks share one handler that
// tells them apart by index.
namespace command1 {
inline constexpr std::int16_t kStartPanelCapture = 1; // "Capture" on the start panel
inline constexpr std::int16_t kSaveCrop = 3;          // hidden "Save Crop": crops the selection
inline constexpr std::int16_t kExit = 4;              // "Exit"
inline constexpr std::int16_t kToolBarCapture = 5;    // "Capture" on the tool bar
} // namespace command1

// The buttons of the Command3 array ("Save").
namespace command3 {
inline constexpr std::int16_t kToolBarSave = 0;
inline constexpr std::int16_t kStartPanelSave = 1;
} // namespace command3

} // namespace zs::app
