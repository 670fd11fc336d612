#include "services/screen_capture.h"

#include "services/services.h"

#include <algorithm>

namespace zs {

CaptureResult CaptureResult::copied(QImage image) {
    CaptureResult result;
    if (image.isNull()) {
        result.m_failure = QStringLiteral("The screen copy came back empty.");
        return result;
    }
    result.m_image = image.format() == QImage::Format_RGB32
                         ? std::move(image)
                         : image.convertToFormat(QImage::Format_RGB32);
    return result;
}

CaptureResult CaptureResult::failed(QString reason) {
    CaptureResult result;
    result.m_failure = std::move(reason);
    return result;
}

CaptureResult CaptureResult::unavailable(QString reason) {
    CaptureResult result = failed(std::move(reason));
    result.m_unavailable = true;
    return result;
}

bool waitUntil(IEventPump& pump, double timeoutSeconds, const std::function<bool()>& done) {
    // Short slices: the pump may wait the whole slice even when an event
    // arrives early.
    constexpr double kSlice = 0.01;
    const double end = pump.now() + timeoutSeconds;
    while (!done()) {
        const double left = end - pump.now();
        if (left <= 0) {
            return false;
        }
        pump.processEvents(std::min(left, kSlice));
    }
    return true;
}

} // namespace zs
