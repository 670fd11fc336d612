#include "services/qt/qt_services.h"

#include <QGuiApplication>
#include <QScreen>

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

double QtScreen::devicePixelRatio() const {
    QScreen* s = primary();
    return s != nullptr && s->devicePixelRatio() > 0 ? s->devicePixelRatio() : 1.0;
}

QSize QtScreen::sizePx() const {
    QScreen* s = primary();
    return s != nullptr ? s->geometry().size() : QSize();
}

QRect QtScreen::availablePx() const {
    QScreen* s = primary();
    return s != nullptr ? s->availableGeometry() : QRect();
}

} // namespace zs
