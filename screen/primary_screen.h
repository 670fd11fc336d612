#pragma once

#include <QRect>

namespace zs {

// The primary screen's rectangle in device pixels within the whole desktop
// (the X root window; on Wayland the layout of the outputs). Qt keeps a
// screen's top-left in device pixels and divides only its size by the
// screen's device-pixel ratio; this undoes the division. Empty without a
// screen.
QRect primaryScreenDevicePixels();

} // namespace zs
