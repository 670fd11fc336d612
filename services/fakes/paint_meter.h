#pragma once

#include <QObject>
#include <QRegion>

class QEvent;
class QWidget;

namespace zs::fakes {

// The number of pixels a region covers.
long long area(const QRegion& region);

// Watches the paint events a widget receives: how many came, the pixels they
// cover added up event by event (a pixel painted twice counts twice), and,
// when asked for, the region they cover together (where it counts once).
class PaintMeter : public QObject {
public:
    enum class Keep {
        Pixels,          // the count and the pixels only
        PixelsAndRegion, // also the union of the painted regions
    };

    explicit PaintMeter(QWidget* widget, Keep keep = Keep::PixelsAndRegion);

    bool eventFilter(QObject* watched, QEvent* event) override;

    // Forgets every paint seen so far.
    void reset();

    int events() const { return events_; }
    long long pixels() const { return pixels_; }
    const QRegion& region() const { return region_; }

private:
    Keep keep_;
    int events_ = 0;
    long long pixels_ = 0;
    QRegion region_;
};

} // namespace zs::fakes
