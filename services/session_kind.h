#pragma once

#include <QStringView>

// What kind of graphical session the program runs in. Decided in one place:
// the screen copy, the window order and the clipboard hand-off all ask here.
namespace zs {

enum class SessionKind {
    X11,      // Qt's xcb platform on an X server
    XWayland, // Qt's xcb platform inside a Wayland session: an X grab sees only X windows
    Wayland,  // any of Qt's wayland platforms ("wayland", "wayland-egl", ...)
    Other,    // offscreen, minimal, eglfs, ...
};

// From Qt's platform name (QGuiApplication::platformName()) and
// $XDG_SESSION_TYPE, which a compositor started by hand may leave unset.
SessionKind sessionKind(QStringView qtPlatform, QStringView sessionType);

// The running program's session kind.
SessionKind currentSessionKind();

} // namespace zs
