#pragma once

#include "form/controls.h"
#include "form/form.h"
#include "services/services.h"

#include <cstdint>

// Files, printing and copying: save as BMP, load a picture, print, copy.
namespace zs {
class Error;
}

namespace zs::files {

struct Controls {
    Form& Form1;
    PictureBox& Picture2;          // the crop holder
    PictureBox& Picture6;          // the editor canvas
    PictureBox& Picture1;          // the viewport
    PictureBox& FormScreenCapture; // the capture surface
    Image& Image3;                 // where a loaded picture is measured
    ScrollBar& HScroll1;
    ScrollBar& VScroll1;
};

class Handlers {
public:
    Handlers(const Controls& controls, Services& services);

    void Command3_Click(std::int16_t Index); // "Save" (tool bar, start panel)
    void Command8_Click();                   // "Save" in the editor
    void Command9_Click();                   // "Load"
    // The load of "Load" without its dialog: the file `name` onto the
    // capture surface, or a message saying why not.
    void loadPicture(const QString& name);
    void Command12_Click(); // "Print" on the tool bar
    void Command13_Click(); // "Print" in the editor
    void Command15_Click(); // "Copy" in the editor

private:
    void save(PictureBox& box);
    void print(PictureBox& box);
    // Shows a failure that the command survives.
    void report(const Error& error);

    Controls c;
    Services& s;
};

} // namespace zs::files
