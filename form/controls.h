#pragma once

// Every control of the form runtime, one family to a header.
#include "form/buttons.h"          // Button, CheckBox, OptionButton
#include "form/containers.h"       // Container, SurfaceWidget, Frame
#include "form/control.h"          // Control, WindowedControl, ControlHost, ControlArray
#include "form/graphic_controls.h" // Label, Shape, Line, Image
#include "form/picture_box.h"      // PictureBox
#include "form/scroll_bar.h"       // ScrollBar
#include "form/text_box.h"         // TextBox
#include "form/timer.h"            // Timer
