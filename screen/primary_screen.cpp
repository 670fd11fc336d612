#include "screen/primary_screen.h"

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
    return {g.topLeft(), QSize(qRound(g.width() * ratio), qRound(g.height() * ratio))};
}

QString sizeText(QSize size) {
    return QStringLiteral("%1 x %2").arg(size.width()).arg(size.height());
}

} // namespace zs
