#pragma once

#include <QRect>
#include <QString>

namespace zs {

// The primary screen's rectangle in device pixels within the whole desktop
// (the X root window; on Wayland the layout of the outputs). Qt keeps a
// screen's top-left in device pixels and divides only its size by the
// screen's device-pixel ratio; this undoes the division. Empty without a
// screen.
QRect primaryScreenDevicePixels();

// "1920 x 1080": a size in pixels as the capture's messages write it.
QString sizeText(QSize size);

} // namespace zs
