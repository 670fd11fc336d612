#pragma once

#include "services/screen_capture.h"

#include <QLoggingCategory>
#include <QString>
#include <QStringList>

#include <memory>

// Which backend copies the screen, chosen once when the program starts.
namespace zs {

// Diagnostics of the screen copy (which backend, why one was passed over),
// shown with the rule "zentrim.capture.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcCapture)

// What the choice of a backend depends on, read from the running program.
struct CaptureSession {
    QString qtPlatform;           // QGuiApplication::platformName(): "xcb", "wayland", ...
    QString sessionType;          // $XDG_SESSION_TYPE: "x11", "wayland" or empty
    bool sharedMemoryOff = false; // $QT_X11_NO_MITSHM is set: no MIT-SHM
    QString forcedBackend;        // $ZENTRIM_CAPTURE_BACKEND: a backend's name, or empty
    bool kwinScreenshot = false;  // KWin's screenshot service is on the session bus

    static CaptureSession current();

    bool onX11() const { return qtPlatform == QLatin1String("xcb"); }
    // On Qt's wayland platform no X grab exists, and under XWayland inside a
    // Wayland session an X grab sees only the X windows: in both, only the
    // compositor (through its own protocol or the desktop portal) can copy
    // the screen.
    bool wantsPortal() const;
    // Qt's own wayland platform: the program talks to the compositor, and
    // its screens carry the compositor's output names.
    bool onWayland() const;
};

// The names $ZENTRIM_CAPTURE_BACKEND accepts, as the backends report them.
QStringList forcibleCaptureBackends();

// The backend for `session`: the one it forces when that one can work here
// (otherwise a warning, and the usual choice); on Wayland KWin's own
// screenshot where KWin offers it (with the portal behind it for when KWin
// refuses this program), else the compositor's screencopy where it offers
// one, else the desktop portal; on X11 shared memory. Falls back to Qt's own
// grab, which fails with a message where Qt cannot read the screen.
std::unique_ptr<IScreenCapture> chooseScreenCapture(const CaptureSession& session);

} // namespace zs
