#pragma once

#include <QImage>
#include <QRect>
#include <QString>

#include <functional>
#include <memory>

// Copying the primary screen. The capture handler sees only IScreenCapture;
// one backend per file implements it (x11_shm_capture, qt_grab_capture,
// portal_capture) and chooseScreenCapture() picks one when the program starts.
namespace zs {

class IEventPump;

// The primary screen's picture, or why there is none.
class CaptureResult {
public:
    // `image`: the whole primary screen in device pixels, opaque
    // Format_RGB32 (converted when it is not).
    static CaptureResult copied(QImage image);
    // `reason`: one sentence for the user that names what failed ("The X
    // server refused the screen copy (BadMatch).").
    static CaptureResult failed(QString reason);

    bool ok() const { return !m_image.isNull(); }
    const QImage& image() const { return m_image; }
    const QString& failure() const { return m_failure; }

private:
    QImage m_image;
    QString m_failure;
};

// One way of copying the primary screen.
class IScreenCapture {
public:
    virtual ~IScreenCapture() = default;
    // A short name for tests, benchmarks and reports ("x11-shm-fd", "qt").
    virtual QString name() const = 0;
    // Copies the whole primary screen pixel for pixel. A backend that has to
    // wait for an answer (the X server, a desktop portal) waits through
    // waitUntil() on `pump`, so the window stays responsive and the wait is
    // bounded. Never returns a blank picture for a failure: a failure is a
    // CaptureResult::failed with its reason.
    virtual CaptureResult grabPrimary(IEventPump& pump) = 0;
};

// Runs `pump` until `done()` holds or `timeoutSeconds` have passed; returns
// whether `done()` held. Checks `done()` before the first pass.
bool waitUntil(IEventPump& pump, double timeoutSeconds, const std::function<bool()>& done);

// The primary screen's rectangle in device pixels within the whole desktop
// (the X root window; on Wayland the layout of the outputs). Qt keeps a
// screen's top-left in device pixels and divides only its size by the
// screen's device-pixel ratio; this undoes the division. Empty without a
// screen.
QRect primaryScreenDevicePixels();

// What the choice of a backend depends on, read from the running program.
struct CaptureSession {
    QString qtPlatform;           // QGuiApplication::platformName(): "xcb", "wayland", ...
    QString sessionType;          // $XDG_SESSION_TYPE: "x11", "wayland" or empty
    bool sharedMemoryOff = false; // $QT_X11_NO_MITSHM is set: no MIT-SHM

    static CaptureSession current();

    bool onX11() const { return qtPlatform == QLatin1String("xcb"); }
    // On Qt's wayland platform no X grab exists, and under XWayland inside a
    // Wayland session an X grab sees only the X windows: in both, only the
    // compositor (through the desktop portal) can copy the screen.
    bool wantsPortal() const;
};

// The backend for `session`. Falls back to Qt's own grab, which fails with
// a message where Qt cannot read the screen.
std::unique_ptr<IScreenCapture> chooseScreenCapture(const CaptureSession& session);

} // namespace zs
