#include "screen/primary_screen.h"

#include "screen/wayland_outputs.h"
#include "services/session_kind.h"

#include <QGuiApplication>
#include <QScreen>

namespace zs {

QRect primaryScreenDevicePixels() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return {};
    }
    const QRect g = screen->geometry();
    const qreal ratio = screen->devicePixelRatio();
    QSize size(qRound(g.width() * ratio), qRound(g.height() * ratio));
    if (currentSessionKind() == SessionKind::Wayland) {
        // The output's own mode: Qt's logical size is not in the same units
        // on every compositor.
        if (const std::optional<QSize> output = waylandOutputDeviceSize(screen->name())) {
            size = *output;
        }
    }
    return {g.topLeft(), size};
}

QString sizeText(QSize size) {
    return QStringLiteral("%1 x %2").arg(size.width()).arg(size.height());
}

} // namespace zs
