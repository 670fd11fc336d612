#include "screen/backend_choice.h"

#include "screen/fallback_capture.h"
#include "screen/kwin_screenshot_capture.h"
#include "screen/portal_capture.h"
#include "screen/qt_grab_capture.h"
#include "screen/x11_shm_capture.h"
#include "services/session_kind.h"

#include <QGuiApplication>

namespace zs {

Q_LOGGING_CATEGORY(lcCapture, "zentrim.capture", QtInfoMsg)

CaptureSession CaptureSession::current() {
    CaptureSession session;
    session.qtPlatform = QGuiApplication::platformName();
    session.sessionType = qEnvironmentVariable("XDG_SESSION_TYPE");
    session.sharedMemoryOff = qEnvironmentVariableIsSet("QT_X11_NO_MITSHM");
    session.forcedBackend = qEnvironmentVariable("ZENTRIM_CAPTURE_BACKEND");
    // Asked only on Wayland: KWin names outputs as Qt's wayland platform does.
    session.kwinScreenshot =
        sessionKind(session.qtPlatform, session.sessionType) == SessionKind::Wayland &&
        KWinScreenshotCapture::reachable(QDBusConnection::sessionBus());
    return session;
}

bool CaptureSession::wantsPortal() const {
    const SessionKind kind = sessionKind(qtPlatform, sessionType);
    return kind == SessionKind::Wayland || kind == SessionKind::XWayland;
}

std::unique_ptr<IScreenCapture> chooseScreenCapture(const CaptureSession& session) {
    if (session.forcedBackend == QLatin1String("kwin")) {
        return std::make_unique<KWinScreenshotCapture>();
    }
    if (session.kwinScreenshot) {
        return std::make_unique<FallbackCapture>(std::make_unique<KWinScreenshotCapture>(),
                                                 std::make_unique<PortalCapture>());
    }
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
