#pragma once

#include <QImage>
#include <QRect>

// Screen copies on X11 through the MIT shared-memory extension: the server
// writes the root window's pixels straight into a segment shared with this
// process, which is kept between grabs and grown only when a larger area is
// asked for.
namespace zs::x11 {

// Copies `source` (root-window pixels, clipped to the root window and to
// `dest`) into `dest` at its origin, as opaque Format_RGB32 pixels. Returns
// false when not running on X11 or when the server or its pixel format does
// not allow the shared-memory path (`dest` untouched), and also when the
// server fails part-way through (`dest` may then hold the first rows); the
// caller then reads the screen another way.
bool grabRootShm(const QRect& source, QImage& dest);

// Whether the shared-memory path can be used on the current connection.
bool shmGrabAvailable();

} // namespace zs::x11
