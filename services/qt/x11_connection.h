#pragma once

#include <xcb/xcb.h>

// Qt's own connection to the X server, for the few requests Qt has no API for.
namespace zs::x11 {

// Whether the program runs on Qt's X11 platform (xcb).
bool onX11();

// Qt's XCB connection; null when the program is not on X11.
xcb_connection_t* connection();

} // namespace zs::x11
