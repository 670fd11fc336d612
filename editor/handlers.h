#pragma once

#include "form/controls.h"
#include "form/form.h"
#include "services/services.h"

#include <array>
#include <cstdint>

// The crop editor: opening and closing the panel with its reference size,
// "Size" and "Restore", resizing to a typed pixel size, and pen drawing.
namespace zs::editor {

struct Controls {
    Form& Form1;
    Frame& Frame4;        // the editor panel
    Label& Label4;        // reference width in pixels
    Label& Label6;        // reference height in pixels
    Frame& Frame9;        // the size panel
    TextBox& Text1_0;     // wanted width, Text1(0)
    TextBox& Text1_1;     // wanted height, Text1(1)
    PictureBox& Picture6; // the canvas
    Shape& Shape6;        // the pen colour sample
    ControlArray<OptionButton>& Option1;
    ControlArray<PictureBox>& Picture10; // colour swatches
    PictureBox& Picture2;                // the crop holder
    PictureBox& FormScreenCapture;       // the capture surface
    Shape& Shape1;                       // the selection rectangle
};

struct Variables {
    std::int16_t& PenDown;
    std::int32_t& PenX;
    std::int32_t& PenY;
};

class Handlers {
public:
    Handlers(const Controls& controls, const Variables& variables, Services& services);

    void Command5_Click();  // "Edit"
    void Command6_Click();  // "Back"
    void Command16_Click(); // "Size"
    void Command14_Click(); // "Restore"

    void Text1_Change(std::int16_t Index);
    void Text1_KeyUp(std::int16_t Index, std::int16_t KeyCode, std::int16_t Shift);
    void Command7_Click(); // the apply action

    void Picture6_MouseDown(std::int16_t Button, std::int16_t Shift, float X, float Y);
    void Picture6_MouseMove(std::int16_t Button, std::int16_t Shift, float X, float Y);
    void Picture6_MouseUp(std::int16_t Button, std::int16_t Shift, float X, float Y);
    void Picture10_Click(std::int16_t Index);
    void Picture11_Click(std::int16_t Index);
    void Option1_Click(std::int16_t Index);

private:
    // Throws zs::Error(InvalidValue) for a canvas size beyond the limit.
    static void refuseOversize(QSize px);

    Controls c;
    Variables v;
};

} // namespace zs::editor
