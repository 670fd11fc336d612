#include "services/fakes/paint_meter.h"

#include <QEvent>
#include <QPaintEvent>
#include <QWidget>

namespace zs::fakes {

long long area(const QRegion& region) {
    long long a = 0;
    for (const QRect& r : region) {
        a += static_cast<long long>(r.width()) * r.height();
    }
    return a;
}

PaintMeter::PaintMeter(QWidget* widget, Keep keep) : keep_(keep) {
    widget->installEventFilter(this);
}

bool PaintMeter::eventFilter(QObject* /*watched*/, QEvent* event) {
    if (event->type() == QEvent::Paint) {
        const QRegion& painted = static_cast<QPaintEvent*>(event)->region();
        ++events_;
        pixels_ += area(painted);
        if (keep_ == Keep::PixelsAndRegion) {
            region_ += painted;
        }
    }
    return false;
}

void PaintMeter::reset() {
    events_ = 0;
    pixels_ = 0;
    region_ = QRegion();
}

} // namespace zs::fakes
