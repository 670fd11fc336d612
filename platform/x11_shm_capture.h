#pragma once

#include "screen_capture.h"

#include <memory>

// Screen copies on X11 through the MIT shared-memory extension: the server
// writes the root window's pixels straight into a segment shared with this
// process, which is kept between grabs and grown only when a larger area is
// asked for.
namespace zs {

class X11ShmCapture final : public IScreenCapture {
public:
    // The shared-memory grab on Qt's X connection; null when not on X11 or
    // when the server or its pixel format does not allow it.
    static std::unique_ptr<X11ShmCapture> open();
    ~X11ShmCapture() override;

    QString name() const override;
    CaptureResult grabPrimary(IEventPump& pump) override;
    // Copies `source`, a rectangle of the root window in device pixels
    // (clipped to the root window), as opaque Format_RGB32 pixels.
    CaptureResult grabRoot(const QRect& source);

private:
    struct State;
    explicit X11ShmCapture(std::unique_ptr<State> state);
    std::unique_ptr<State> m_state;
};

} // namespace zs
