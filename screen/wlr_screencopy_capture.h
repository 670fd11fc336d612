#pragma once

#include "services/screen_capture.h"

#include <QString>

#include <memory>

// Screen copies on wlroots compositors (sway, Hyprland, river, Wayfire)
// through their screencopy protocol (zwlr_screencopy_manager_v1), on a
// Wayland connection of this backend's own: the compositor writes the
// primary output's pixels, without the cursor, into shared memory.
namespace zs {

class WlrScreencopyCapture final : public IScreenCapture {
public:
    // How long a grab waits for the compositor.
    static constexpr double kDefaultTimeoutSeconds = 5;

    // Connects to the compositor named by $WAYLAND_DISPLAY (or `display`,
    // a socket name or path) and binds what the grab needs; null when there
    // is no compositor, or it offers no screencopy or no shared memory.
    static std::unique_ptr<WlrScreencopyCapture>
    open(const QString& display = {}, double timeoutSeconds = kDefaultTimeoutSeconds);
    ~WlrScreencopyCapture() override;
    WlrScreencopyCapture(const WlrScreencopyCapture&) = delete;
    WlrScreencopyCapture& operator=(const WlrScreencopyCapture&) = delete;

    QString name() const override { return QStringLiteral("wlr-screencopy"); }
    // Copies the output named as Qt's primary screen (QScreen::name()); the
    // compositor is waited for on a thread of its own while `pump` runs.
    CaptureResult grabPrimary(IEventPump& pump) override;
    // The same for the output called `outputName` (wl_output's name, or
    // xdg-output's where the compositor's wl_output is older).
    CaptureResult grabOutput(IEventPump& pump, const QString& outputName);

    struct State;

private:
    WlrScreencopyCapture(std::unique_ptr<State> state, double timeoutSeconds);
    std::unique_ptr<State> m_state;
    double m_timeoutSeconds;
};

} // namespace zs
