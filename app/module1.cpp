#include "app/module1.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace zs::app::Module1 {

std::int16_t pixelsClamped16(float twips, float twipsPerPixel) {
    const float q = twips / twipsPerPixel; // single precision, as the window's lengths are
    if (std::isnan(q)) {
        return 0;
    }
    const double r = std::nearbyint(static_cast<double>(q));
    return static_cast<std::int16_t>(
        std::clamp(r, static_cast<double>(std::numeric_limits<std::int16_t>::min()),
                   static_cast<double>(std::numeric_limits<std::int16_t>::max())));
}

void StayFront(Form& Frm, const bool& OnTop) {
    const float tx = Frm.twipsPerPixelX();
    const float ty = Frm.twipsPerPixelY();
    const std::int16_t X = pixelsClamped16(Frm.left(), tx);
    const std::int16_t Y = pixelsClamped16(Frm.top(), ty);
    const std::int16_t CX = pixelsClamped16(Frm.width(), tx);
    const std::int16_t CY = pixelsClamped16(Frm.height(), ty);
    Frm.services().windowOrder.setWindowPos(*Frm.widget(), OnTop, QRect(X, Y, CX, CY));
}

} // namespace zs::app::Module1
