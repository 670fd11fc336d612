#pragma once

#include "capture/handlers.h"
#include "editor/handlers.h"
#include "files/handlers.h"
#include "form/controls.h"
#include "form/form.h"
#include "form/key_shortcuts.h"
#include "services/services.h"

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

namespace zs::app {

// Every control of the window, built from the catalogue, by name and index.
class ControlSet {
public:
    explicit ControlSet(Form& form);
    ~ControlSet();
    template <typename T> T& get(const char* name, int index = -1) const {
        auto* c = dynamic_cast<T*>(find(name, index));
        if (c == nullptr) {
            throw std::logic_error(std::string("no control ") + name);
        }
        return *c;
    }
    template <typename T> ControlArray<T> array(const char* name) const {
        ControlArray<T> a;
        for (const auto& [key, control] : m_byName) {
            if (key.first == name && key.second >= 0) {
                a.add(key.second, &dynamic_cast<T&>(*control));
            }
        }
        return a;
    }
    Timer& timer(const char* name) const;

private:
    Control* find(const char* name, int index) const;
    std::vector<std::unique_ptr<Control>> m_controls;
    std::vector<std::unique_ptr<Timer>> m_timers;
    std::map<std::pair<std::string, int>, Control*> m_byName;
    std::map<std::string, Timer*> m_timersByName;
};

// The window: its controls in their design-time state, the window-level
// variables, and the handlers of start-up, window state, layout and the
// settings panel; the other handlers live in the subsystems.
class Form1 {
public:
    explicit Form1(Services& services);
    ~Form1();
    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;

    // Runs Form_Load and shows the window centred.
    void start();

private:
    Services& m_services;
    std::unique_ptr<Form> m_form;
    ControlSet m_set;

public:
    Form& form;

    // The window's own children, top first.
    Frame& Frame12;
    Frame& Frame7;
    Frame& Frame4;
    Frame& Frame6;
    Frame& Frame3;
    Frame& Frame5;
    PictureBox& Picture2;
    Frame& Frame1;
    Button& Command2;
    ScrollBar& HScroll1;
    ScrollBar& VScroll1;
    PictureBox& Picture1;
    // Compact bar.
    Button& Command19;
    Button& Command18;
    // Settings panel.
    ControlArray<PictureBox> Picture9;
    Button& Command11;
    Shape& Shape5;
    ControlArray<Label> Label7;
    ControlArray<Shape> Shape4;
    // Editor.
    PictureBox& Picture3;
    Frame& Frame9;
    PictureBox& Picture8;
    PictureBox& Picture5;
    PictureBox& Picture7;
    Label& Label4;
    Label& Label6;
    ControlArray<Label> Label5;
    Button& Command7;
    ControlArray<TextBox> Text1;
    Frame& Frame10;
    Frame& Frame8;
    ControlArray<PictureBox> Picture10;
    ControlArray<PictureBox> Picture11;
    ControlArray<OptionButton> Option1;
    Shape& Shape6;
    ControlArray<Line> Line2;
    Button& Command16;
    Button& Command8;
    Button& Command6;
    Button& Command13;
    Button& Command14;
    Button& Command15;
    PictureBox& Picture6;
    // Buttons of the shared arrays, the tool bar and the arrow pad.
    ControlArray<Button> Command1;
    ControlArray<Button> Command3;
    Timer& Timer1;
    ControlArray<Image> Image2;
    Button& Command17;
    Button& Command12;
    Button& Command10;
    CheckBox& Check2;
    Button& Command9;
    Button& Command4;
    Button& Command5;
    CheckBox& Check1;
    Image& Image3;
    // The viewport and the start panel.
    PictureBox& FormScreenCapture;
    Frame& Frame2;
    ControlArray<Line> Line1;
    Shape& Shape1;
    Label& Label2;
    ControlArray<Label> Label1;
    ControlArray<Image> Image1;
    Label& Label3;
    Shape& Shape2;

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
    void wireShortcuts();
    void describeControls();

    KeyShortcuts m_keys;
};

} // namespace zs::app
