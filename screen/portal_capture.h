#pragma once

#include "screen/portal_screenshot.h"
#include "services/screen_capture.h"

// The screen capture backend for Wayland sessions: the desktop portal's
// screenshot, cut down to the primary screen.
namespace zs {

class PortalCapture final : public IScreenCapture {
public:
    // Long enough for a portal that asks the user for permission first.
    static constexpr double kDefaultTimeoutSeconds = 30;

    explicit PortalCapture(QDBusConnection bus = QDBusConnection::sessionBus(),
                           double timeoutSeconds = kDefaultTimeoutSeconds);

    QString name() const override { return QStringLiteral("portal"); }
    CaptureResult grabPrimary(IEventPump& pump) override;

private:
    CaptureResult grab(IEventPump& pump);

    PortalScreenshot m_portal;
    double m_timeoutSeconds;
};

} // namespace zs
