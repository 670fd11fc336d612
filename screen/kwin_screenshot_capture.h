#pragma once

#include "services/screen_capture.h"

#include <QByteArray>
#include <QDBusConnection>
#include <QImage>
#include <QString>
#include <QVariantMap>

// The screen capture backend for KDE Plasma: KWin's own screenshot interface
// (org.kde.KWin.ScreenShot2), which writes an output's raw pixels into a
// pipe we pass it. KWin serves only programs whose installed .desktop file
// lists the interface in X-KDE-DBUS-Restricted-Interfaces; any other (a
// build tree's binary) is refused, and so is a session without KWin: both
// make the backend unavailable (CaptureResult::unavailable).
namespace zs {

// How KWin lays out the pixels it writes: the reply to the call.
struct KWinPixelLayout {
    QString type; // "raw" for pixels as below
    quint32 width = 0;
    quint32 height = 0;
    quint32 stride = 0; // bytes from one row to the next
    quint32 format = 0; // a QImage::Format

    static KWinPixelLayout fromReply(const QVariantMap& reply);
};

// The picture in `pixels` as `layout` describes it, as opaque Format_RGB32
// (a copy: `pixels` may go). A null image, with `failure` set to why, when
// the layout is not one of raw pixels in a known format, or `pixels` holds
// fewer bytes than it needs.
QImage imageFromKWinPixels(const QByteArray& pixels, const KWinPixelLayout& layout,
                           QString* failure);

class KWinScreenshotCapture final : public IScreenCapture {
public:
    static constexpr double kDefaultTimeoutSeconds = 10;

    explicit KWinScreenshotCapture(QDBusConnection bus = QDBusConnection::sessionBus(),
                                   double timeoutSeconds = kDefaultTimeoutSeconds);

    // Whether KWin's screenshot service is on `bus` now.
    static bool reachable(const QDBusConnection& bus);

    QString name() const override { return QStringLiteral("kwin"); }
    // The output Qt calls primary (KWin and Qt name outputs alike), in its
    // device pixels, without the cursor.
    CaptureResult grabPrimary(IEventPump& pump) override;
    // The output KWin calls `output`.
    CaptureResult grabOutput(const QString& output, IEventPump& pump);

private:
    QDBusConnection m_bus;
    double m_timeoutSeconds;
};

} // namespace zs
