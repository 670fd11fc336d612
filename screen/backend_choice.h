#pragma once

#include "services/screen_capture.h"

#include <QLoggingCategory>
#include <QString>

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
    QString forcedBackend;        // $ZENTRIM_CAPTURE_BACKEND: "kwin", ... or empty
    bool kwinScreenshot = false;  // KWin's screenshot service is on the session bus

    static CaptureSession current();

    bool onX11() const { return qtPlatform == QLatin1String("xcb"); }
    // On Qt's wayland platform no X grab exists, and under XWayland inside a
    // Wayland session an X grab sees only the X windows: in both, only the
    // compositor (through the desktop portal) can copy the screen.
    bool wantsPortal() const;
};

// The backend for `session`. On Qt's wayland platform KWin's own
// screenshot comes first where KWin offers it, with the portal behind it for
// when KWin refuses this program. Falls back to Qt's own grab, which fails with
// a message where Qt cannot read the screen.
std::unique_ptr<IScreenCapture> chooseScreenCapture(const CaptureSession& session);

} // namespace zs
