#pragma once

// Every control of the form runtime, one family to a header.
#include "buttons.h"          // Button, CheckBox, OptionButton
#include "containers.h"       // Container, SurfaceWidget, Frame
#include "control.h"          // Control, WindowedControl, ControlHost, ControlArray
#include "graphic_controls.h" // Label, Shape, Line, Image
#include "picture_box.h"      // PictureBox
#include "scroll_bar.h"       // ScrollBar
#include "text_box.h"         // TextBox
#include "timer.h"            // Timer
