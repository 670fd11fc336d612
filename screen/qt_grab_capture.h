#pragma once

#include "services/screen_capture.h"

namespace zs {

// Qt's own screen copy (QScreen::grabWindow): the way taken on X11 when the
// server cannot share memory with this process. On platforms where Qt cannot
// read the screen (Wayland) it fails with a message.
class QtGrabCapture final : public IScreenCapture {
public:
    QString name() const override { return QStringLiteral("qt"); }
    CaptureResult grabPrimary(IEventPump& pump) override;
};

} // namespace zs
