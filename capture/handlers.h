#pragma once

#include "form/controls.h"
#include "form/form.h"
#include "services/services.h"

#include <cstdint>
#include <functional>

// Capture and selection: the screen grab, the selection rectangle with its
// read-out and square lock, the crop to the holder, the canvas and the
// clipboard, nudging with the arrow pad, and scrolling the surface.
namespace zs::capture {

// The controls these handlers work on, named as on the window.
struct Controls {
    Form& Form1;
    PictureBox& Picture1;          // the viewport
    PictureBox& FormScreenCapture; // the capture surface
    ScrollBar& HScroll1;
    ScrollBar& VScroll1;
    Shape& Shape1;    // the selection rectangle
    Line& Line1_0;    // vertical cross-hair line, Line1(0)
    Line& Line1_1;    // horizontal cross-hair line, Line1(1)
    Label& Label2;    // size read-out
    CheckBox& Check1; // "Square"
    Frame& Frame3;    // the arrow pad
    Timer& Timer1;
    PictureBox& Picture2; // the crop holder
    PictureBox& Picture6; // the editor canvas
};

// The window-level variables these handlers share with the window.
struct Variables {
    float& SelStartX;
    float& SelStartY;
    std::int16_t& NudgeX;
    std::int16_t& NudgeY;
};

// Routines of the window that the capture calls.
struct Routines {
    std::function<void(float)> Perimene;
    std::function<void()> bringToFront;
    // Raise the window's shared Command1 click handler as the start panel's
    // "Capture" button does, and as the hidden "Save Crop" button (the crop).
    std::function<void()> Command1_ClickCapture;
    std::function<void()> Command1_ClickSaveCrop;
};

class Handlers {
public:
    Handlers(const Controls& controls, const Variables& variables, Routines routines,
             Services& services);

    // Command1_Click for either "Capture" button.
    void capture();
    // Command1_Click for the hidden "Save Crop" button.
    void crop();
    void Command18_Click();

    void FormScreenCapture_MouseDown(std::int16_t Button, std::int16_t Shift, float X, float Y);
    void FormScreenCapture_MouseMove(std::int16_t Button, std::int16_t Shift, float X, float Y);
    void FormScreenCapture_MouseUp(std::int16_t Button, std::int16_t Shift, float X, float Y);
    void Command4_Click();

    void Image2_MouseDown(std::int16_t Index, std::int16_t Button, std::int16_t Shift, float X,
                          float Y);
    void Image2_DblClick(std::int16_t Index);
    void Image2_MouseUp(std::int16_t Index, std::int16_t Button, std::int16_t Shift, float X,
                        float Y);
    void Timer1_Timer();

    void HScroll1_Change();
    void HScroll1_Scroll();
    void VScroll1_Change();
    void VScroll1_Scroll();
    void Command2_Click();

private:
    Controls c;
    Variables v;
    Routines r;
    Services& s;
};

} // namespace zs::capture
