#include "screen/portal_capture.h"

#include "screen/backend_choice.h"
#include "screen/primary_screen.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QScreen>

namespace zs {

PortalCapture::PortalCapture(QDBusConnection bus, double timeoutSeconds)
    : m_portal(std::move(bus)), m_timeoutSeconds(timeoutSeconds) {}

CaptureResult PortalCapture::grabPrimary(IEventPump& pump) {
    QElapsedTimer timer;
    timer.start();
    CaptureResult result = grab(pump);
    qCDebug(lcCapture).noquote() << "portal screenshot took" << timer.elapsed() << "ms"
                                 << (result.ok() ? sizeText(result.image().size())
                                                 : result.failure());
    return result;
}

CaptureResult PortalCapture::grab(IEventPump& pump) {
    PortalShot shot = m_portal.take(pump, m_timeoutSeconds);
    if (!shot.failure.isEmpty()) {
        return CaptureResult::failed(shot.failure);
    }
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return CaptureResult::failed(QStringLiteral("There is no screen to copy."));
    }
    const QSize device = primaryScreenDevicePixels().size();
    const QRect primary =
        primaryRectInShot(shot.image.size(), screen->virtualGeometry(), screen->geometry(), device);
    if (primary.isEmpty()) {
        return CaptureResult::failed(
            QStringLiteral("The desktop portal's screenshot (%1 pixels) does not show the "
                           "primary screen (%2 pixels) pixel for pixel.")
                .arg(sizeText(shot.image.size()), sizeText(device)));
    }
    if (primary == shot.image.rect()) {
        return CaptureResult::copied(std::move(shot.image));
    }
    return CaptureResult::copied(shot.image.copy(primary));
}

} // namespace zs
