#pragma once

#include "services/screen_capture.h"

#include <memory>

// Two backends in order of preference: the first copies the screen until it
// reports itself unavailable (CaptureResult::unavailable), and from then on
// the second does, for the rest of the run. Chains of more than two nest.
namespace zs {

class FallbackCapture final : public IScreenCapture {
public:
    FallbackCapture(std::unique_ptr<IScreenCapture> first, std::unique_ptr<IScreenCapture> next);

    // The backend that copies now: the first one's name until it gave up.
    QString name() const override;
    CaptureResult grabPrimary(IEventPump& pump) override;

private:
    std::unique_ptr<IScreenCapture> m_first; // null once it gave up
    std::unique_ptr<IScreenCapture> m_next;
};

} // namespace zs
