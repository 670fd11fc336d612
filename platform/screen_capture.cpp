#include "screen_capture.h"

#include "portal_capture.h"
#include "qt_grab_capture.h"
#include "services.h"
#include "x11_shm_capture.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>

namespace zs {

CaptureResult CaptureResult::copied(QImage image) {
    CaptureResult result;
    if (image.isNull()) {
        result.m_failure = QStringLiteral("The screen copy came back empty.");
        return result;
    }
    result.m_image = image.format() == QImage::Format_RGB32
                         ? std::move(image)
                         : image.convertToFormat(QImage::Format_RGB32);
    return result;
}

CaptureResult CaptureResult::failed(QString reason) {
    CaptureResult result;
    result.m_failure = std::move(reason);
    return result;
}

bool waitUntil(IEventPump& pump, double timeoutSeconds, const std::function<bool()>& done) {
    // Short slices: the pump may wait the whole slice even when an event
    // arrives early.
    constexpr double kSlice = 0.01;
    const double end = pump.now() + timeoutSeconds;
    while (!done()) {
        const double left = end - pump.now();
        if (left <= 0) {
            return false;
        }
        pump.processEvents(std::min(left, kSlice));
    }
    return true;
}

QRect primaryScreenDevicePixels() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return {};
    }
    const QRect g = screen->geometry();
    const qreal ratio = screen->devicePixelRatio();
    return {g.topLeft(), QSize(qRound(g.width() * ratio), qRound(g.height() * ratio))};
}

CaptureSession CaptureSession::current() {
    CaptureSession session;
    session.qtPlatform = QGuiApplication::platformName();
    session.sessionType = qEnvironmentVariable("XDG_SESSION_TYPE");
    session.sharedMemoryOff = qEnvironmentVariableIsSet("QT_X11_NO_MITSHM");
    return session;
}

bool CaptureSession::wantsPortal() const {
    return qtPlatform == QLatin1String("wayland") ||
           (onX11() && sessionType == QLatin1String("wayland"));
}

std::unique_ptr<IScreenCapture> chooseScreenCapture(const CaptureSession& session) {
    if (session.wantsPortal()) {
        // Only the compositor can copy a Wayland screen; it lends it through
        // the desktop portal. A missing portal is reported at the capture.
        return std::make_unique<PortalCapture>();
    }
    if (session.onX11() && !session.sharedMemoryOff) {
        if (auto shm = X11ShmCapture::open()) {
            return shm;
        }
    }
    return std::make_unique<QtGrabCapture>();
}

} // namespace zs
