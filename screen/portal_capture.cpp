#include "screen/portal_capture.h"
#include "screen/primary_screen.h"

#include <QGuiApplication>
#include <QScreen>

namespace zs {

PortalCapture::PortalCapture(QDBusConnection bus, double timeoutSeconds)
    : m_portal(std::move(bus)), m_timeoutSeconds(timeoutSeconds) {}

CaptureResult PortalCapture::grabPrimary(IEventPump& pump) {
    PortalShot shot = m_portal.take(pump, m_timeoutSeconds);
    if (!shot.failure.isEmpty()) {
        return CaptureResult::failed(shot.failure);
    }
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return CaptureResult::failed(QStringLiteral("There is no screen to copy."));
    }
    const QRect primary = primaryRectInShot(shot.image.size(), screen->virtualGeometry(),
                                            screen->geometry(), screen->devicePixelRatio());
    if (primary.isEmpty()) {
        return CaptureResult::failed(
            QStringLiteral("The desktop portal's screenshot (%1 pixels) does not show the "
                           "primary screen pixel for pixel.")
                .arg(sizeText(shot.image.size())));
    }
    if (primary == shot.image.rect()) {
        return CaptureResult::copied(std::move(shot.image));
    }
    return CaptureResult::copied(shot.image.copy(primary));
}

} // namespace zs
