#pragma once

#include <QRect>
#include <QString>

namespace zs {

// The primary screen's rectangle in device pixels within the whole desktop
// (the X root window; on Wayland the layout of the outputs). On X11 Qt keeps
// a screen's top-left in device pixels and divides only its size by the
// screen's device-pixel ratio; this undoes the division. On Wayland the size
// is the output's current mode as the compositor gives it (Qt's logical size
// is in device pixels on some compositors, which the ratio would double),
// Qt's geometry times the ratio only where the compositor does not say.
// Empty without a screen.
QRect primaryScreenDevicePixels();

// "1920 x 1080": a size in pixels as the capture's messages write it.
QString sizeText(QSize size);

} // namespace zs
