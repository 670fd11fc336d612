#pragma once

#include "app/command_line.h"
#include "app/control_set.h"
#include "capture/handlers.h"
#include "editor/handlers.h"
#include "files/handlers.h"
#include "form/controls.h"
#include "form/form.h"
#include "form/key_shortcuts.h"
#include "services/services.h"

#include <QtGlobal>

#include <cstdint>
#include <memory>

namespace zs::app {

// The window: its controls in their design-time state, the window-level
// variables, and the handlers of start-up, window state, layout and the
// settings panel; the other handlers live in the subsystems.
class Form1 {
public:
    explicit Form1(Services& services);
    ~Form1();
    Q_DISABLE_COPY(Form1)

    // Runs Form_Load and shows the window centred.
    void start();

    // Carries out what a start of the program asked for (this one's, or a
    // later one's handed over): the window comes to the front on its main
    // view, then captures or loads the file as the buttons do.
    void carryOut(const StartRequest& request);

private:
    Services& m_services;
    std::unique_ptr<Form> m_form;
    ControlSet m_set;

public:
    Form& form;

    // Every control of the window, by the name the control list gives it:
    // `Frame& Frame12`, `ControlArray<Label> Label1`, `Timer& Timer1`. The
    // macro's arguments are names (Kind::Frame), which parentheses would break.
    // NOLINTBEGIN(bugprone-macro-parentheses)
#define ZS_MEMBER(name, kind, count)                                                               \
    MemberOf<Kind::kind, Count::count> name = m_set.member<Kind::kind, Count::count>(Id::name);
    ZS_FORM1_CONTROLS(ZS_MEMBER)
#undef ZS_MEMBER
    // NOLINTEND(bugprone-macro-parentheses)

    // Window-level variables.
    float SelStartX = 0;
    float SelStartY = 0;
    std::int16_t NudgeX = 0;
    std::int16_t NudgeY = 0;
    std::int16_t PenDown = 0; // True is -1
    std::int32_t PenX = 0;
    std::int32_t PenY = 0;

    // Handlers of the window.
    void Form_Load();
    void Form_Resize();
    void Perimene(float PosoTime);
    void bringToFront();
    void Check2_Click();
    void Command17_Click();
    void Command19_Click();
    void Command1_Click(std::int16_t Index);
    void Command10_Click();
    void Command11_Click();
    void Picture9_Click(std::int16_t Index);

    capture::Handlers capture;
    editor::Handlers editor;
    files::Handlers files;

    // One step of the arrow pad for arrow `Index`, as a press held for one
    // tick of Timer1 and released.
    void nudgeOnce(std::int16_t Index);

private:
    void wire();
    // Leaves the settings and the editor, as their "Back" buttons do.
    void showMainView();
    // Restores a minimised window and asks for the focus and the front.
    void showInFront();
    void wireShortcuts();
    void describeControls();

    KeyShortcuts m_keys;
};

} // namespace zs::app
