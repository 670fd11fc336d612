#include "formats/writer_support.h"

namespace zs::formats {

QImage argbPixels(const QImage& source, bool keepAlpha) {
    if (keepAlpha && source.hasAlphaChannel()) {
        return source.format() == QImage::Format_ARGB32
                   ? source
                   : source.convertToFormat(QImage::Format_ARGB32);
    }
    return source.format() == QImage::Format_RGB32 || source.format() == QImage::Format_ARGB32
               ? source
               : source.convertToFormat(QImage::Format_RGB32);
}

} // namespace zs::formats
