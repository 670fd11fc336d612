#include "services/session_kind.h"

#include <QGuiApplication>

namespace zs {

SessionKind sessionKind(QStringView qtPlatform, QStringView sessionType) {
    // Qt names its Wayland platforms by the client buffer integration they
    // use, all starting "wayland".
    if (qtPlatform.startsWith(u"wayland")) {
        return SessionKind::Wayland;
    }
    if (qtPlatform == u"xcb") {
        return sessionType == u"wayland" ? SessionKind::XWayland : SessionKind::X11;
    }
    return SessionKind::Other;
}

SessionKind currentSessionKind() {
    return sessionKind(QGuiApplication::platformName(), qEnvironmentVariable("XDG_SESSION_TYPE"));
}

} // namespace zs
