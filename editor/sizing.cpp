#include "editor/sizing.h"

#include "form/numbers.h"
#include "services/errors.h"

namespace zs::editor {

bool canvasSizeAllowed(QSize px) {
    if (px.width() < 0 || px.height() < 0) {
        return false;
    }
    return px.width() <= kMaxCanvasSide && px.height() <= kMaxCanvasSide &&
           static_cast<std::int64_t>(px.width()) * px.height() * 4 <= kMaxCanvasBytes;
}

std::int32_t linkedSize(const QString& typed, const QString& refThis, const QString& refOther) {
    const std::int32_t value = readInt32(typed);
    const std::int32_t other = readInt32(refOther);
    const std::int32_t self = readInt32(refThis);
    const std::int32_t product = mulInt32(value, other);
    if (self == 0) {
        throw Error(Error::Code::DivisionByZero, "Division by zero: reference size 0");
    }
    return roundToInt32(static_cast<double>(product) / static_cast<double>(self));
}

} // namespace zs::editor
