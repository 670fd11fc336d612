#include "screen/backend_choice.h"

#include "screen/fallback_capture.h"
#include "screen/kwin_screenshot_capture.h"
#include "screen/portal_capture.h"
#include "screen/qt_grab_capture.h"
#include "screen/wlr_screencopy_capture.h"
#include "screen/x11_shm_capture.h"
#include "services/session_kind.h"

#include <QGuiApplication>

#include <functional>

namespace zs {

Q_LOGGING_CATEGORY(lcCapture, "zentrim.capture", QtInfoMsg)

namespace {

using Opener = std::function<std::unique_ptr<IScreenCapture>(const CaptureSession&)>;

std::unique_ptr<IScreenCapture> openWlrScreencopy(const CaptureSession& session) {
    // Its outputs are matched by the names Qt's wayland platform gives the
    // screens; under another platform the names do not correspond.
    if (!session.onWayland()) {
        return nullptr;
    }
    return WlrScreencopyCapture::open();
}

std::unique_ptr<IScreenCapture> openX11Shm(const CaptureSession& session) {
    if (!session.onX11()) {
        return nullptr;
    }
    return X11ShmCapture::open();
}

// Every backend by the name $ZENTRIM_CAPTURE_BACKEND uses; an opener gives
// null where its backend cannot work in this session.
struct NamedBackend {
    const char* name;
    Opener open;
};
const NamedBackend kBackends[] = {
    {"kwin",
     [](const CaptureSession& session) -> std::unique_ptr<IScreenCapture> {
         if (!session.kwinScreenshot) {
             return nullptr;
         }
         return std::make_unique<KWinScreenshotCapture>();
     }},
    {"wlr-screencopy", openWlrScreencopy},
    {"portal", [](const CaptureSession&) { return std::make_unique<PortalCapture>(); }},
    {"x11-shm", openX11Shm},
    {"qt", [](const CaptureSession&) { return std::make_unique<QtGrabCapture>(); }},
};

std::unique_ptr<IScreenCapture> forced(const CaptureSession& session) {
    for (const NamedBackend& backend : kBackends) {
        if (session.forcedBackend == QLatin1String(backend.name)) {
            if (auto capture = backend.open(session)) {
                return capture;
            }
            qCWarning(lcCapture) << "ZENTRIM_CAPTURE_BACKEND names" << session.forcedBackend
                                 << "which cannot work in this session; choosing as usual";
            return nullptr;
        }
    }
    qCWarning(lcCapture) << "ZENTRIM_CAPTURE_BACKEND names no backend:" << session.forcedBackend
                         << "(known:" << forcibleCaptureBackends().join(QStringLiteral(", "))
                         << "); choosing as usual";
    return nullptr;
}

} // namespace

CaptureSession CaptureSession::current() {
    CaptureSession session;
    session.qtPlatform = QGuiApplication::platformName();
    session.sessionType = qEnvironmentVariable("XDG_SESSION_TYPE");
    session.sharedMemoryOff = qEnvironmentVariableIsSet("QT_X11_NO_MITSHM");
    session.forcedBackend = qEnvironmentVariable("ZENTRIM_CAPTURE_BACKEND").trimmed();
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

bool CaptureSession::onWayland() const {
    return sessionKind(qtPlatform, sessionType) == SessionKind::Wayland;
}

QStringList forcibleCaptureBackends() {
    QStringList names;
    for (const NamedBackend& backend : kBackends) {
        names << QLatin1String(backend.name);
    }
    return names;
}

std::unique_ptr<IScreenCapture> chooseScreenCapture(const CaptureSession& session) {
    if (!session.forcedBackend.isEmpty()) {
        if (auto capture = forced(session)) {
            return capture;
        }
    }
    if (session.kwinScreenshot) {
        // KWin refuses a program its installed menu entry does not name (a
        // build tree's): then the portal copies, for the rest of the run.
        return std::make_unique<FallbackCapture>(std::make_unique<KWinScreenshotCapture>(),
                                                 std::make_unique<PortalCapture>());
    }
    if (session.wantsPortal()) {
        // Compositors' own protocols first, fastest first: they hand the
        // pixels over in memory, where the portal writes and reads a file.
        if (auto wlr = openWlrScreencopy(session)) {
            return wlr;
        }
        qCDebug(lcCapture) << "the compositor offers no screencopy: the desktop portal copies";
        // A missing portal is reported at the capture.
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
