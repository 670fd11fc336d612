#include "capture/geometry.h"

#include "form/numbers.h"
#include "services/errors.h"

#include <limits>

namespace zs::capture {

std::int32_t dragDistance(float pointer, float anchor) {
    const float difference = pointer - anchor;
    return roundToInt32(difference);
}

std::int32_t absInt32(std::int32_t value) {
    if (value == std::numeric_limits<std::int32_t>::min()) {
        throw Error(Error::Code::Overflow, "Overflow: " + std::to_string(value));
    }
    return value < 0 ? -value : value;
}

void lockSquare(std::int32_t& dx, std::int32_t& dy) {
    if (dx > dy) {
        dy = dx;
    } else {
        dx = dy;
    }
}

QString readout(std::int32_t dx, std::int32_t dy, float twipsPerPixelX, float twipsPerPixelY) {
    const double px = static_cast<double>(dx) / static_cast<double>(twipsPerPixelX);
    const double py = static_cast<double>(dy) / static_cast<double>(twipsPerPixelY);
    return formatWhole(px) + QLatin1Char('X') + formatWhole(py);
}

float surfaceOffset(int scrollValue) {
    return -static_cast<float>(scrollValue);
}

} // namespace zs::capture
