#pragma once

#include <QImage>
#include <QRect>
#include <QString>

#include <functional>

// Copying the primary screen. The capture handler sees only IScreenCapture;
// the backends live in screen/, one to a file, and screen/backend_choice.h
// picks one when the program starts.
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
    // A failure of the backend as a whole rather than of one copy: the
    // compositor lacks the interface, or refuses this program for good. A
    // chain of backends (screen/fallback_capture.h) moves on to the next one;
    // shown alone it reads like any other failure.
    static CaptureResult unavailable(QString reason);

    bool ok() const { return !m_image.isNull(); }
    bool backendUnavailable() const { return m_unavailable; }
    const QImage& image() const { return m_image; }
    const QString& failure() const { return m_failure; }

private:
    QImage m_image;
    QString m_failure;
    bool m_unavailable = false;
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

} // namespace zs
