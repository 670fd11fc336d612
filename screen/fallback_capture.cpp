#include "screen/fallback_capture.h"

#include "screen/backend_choice.h"

namespace zs {

FallbackCapture::FallbackCapture(std::unique_ptr<IScreenCapture> first,
                                 std::unique_ptr<IScreenCapture> next)
    : m_first(std::move(first)), m_next(std::move(next)) {}

QString FallbackCapture::name() const {
    return m_first ? m_first->name() : m_next->name();
}

CaptureResult FallbackCapture::grabPrimary(IEventPump& pump) {
    if (m_first) {
        CaptureResult result = m_first->grabPrimary(pump);
        if (!result.backendUnavailable()) {
            return result;
        }
        qCDebug(lcCapture).noquote()
            << "capture backend" << m_first->name() << "is unavailable, using" << m_next->name()
            << "from now on:" << result.failure();
        m_first.reset();
    }
    return m_next->grabPrimary(pump);
}

} // namespace zs
