#include "qt_services.h"

#include "x11_connection.h"
#include "x11_grab.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <algorithm>
#include <cstring>

namespace zs {

namespace {
QScreen* primary() {
    return QGuiApplication::primaryScreen();
}
} // namespace

float QtScreen::twipsPerPixelX() const {
    QScreen* s = primary();
    const double dpi = s != nullptr ? s->logicalDotsPerInchX() : 96.0;
    return static_cast<float>(1440.0 / (dpi > 0 ? dpi : 96.0));
}

float QtScreen::twipsPerPixelY() const {
    QScreen* s = primary();
    const double dpi = s != nullptr ? s->logicalDotsPerInchY() : 96.0;
    return static_cast<float>(1440.0 / (dpi > 0 ? dpi : 96.0));
}

QSize QtScreen::sizePx() const {
    QScreen* s = primary();
    return s != nullptr ? s->geometry().size() : QSize();
}

QRect QtScreen::availablePx() const {
    QScreen* s = primary();
    return s != nullptr ? s->availableGeometry() : QRect();
}

bool QtScreen::grabPrimary(QImage& dest, int width, int height) {
    QScreen* s = primary();
    if (s == nullptr || width <= 0 || height <= 0 || dest.isNull()) {
        return false;
    }
    const QRect g = s->geometry();
    // The primary screen's place in the root window, in device pixels.
    const qreal ratio = s->devicePixelRatio();
    const QRect source(QPoint(qRound(g.x() * ratio), qRound(g.y() * ratio)),
                       QSize(std::min(width, qRound(g.width() * ratio)),
                             std::min(height, qRound(g.height() * ratio))));
    if (x11::onX11() && dest.format() == QImage::Format_RGB32 && x11::grabRootShm(source, dest)) {
        return true;
    }
    // Elsewhere, or when the server cannot share memory: Qt's own copy.
    const QImage shot = s->grabWindow(0, g.x(), g.y(), width, height)
                            .toImage()
                            .convertToFormat(QImage::Format_RGB32);
    if (shot.isNull()) {
        return false;
    }
    const int w = std::min({width, shot.width(), dest.width()});
    const int h = std::min({height, shot.height(), dest.height()});
    for (int y = 0; y < h; ++y) {
        std::memcpy(dest.scanLine(y), shot.constScanLine(y), static_cast<size_t>(w) * 4);
    }
    return true;
}

} // namespace zs
