#pragma once

#include <QByteArray>
#include <QImage>

#include <atomic>

namespace zs::formats {

// The picture as a PNG file, every pixel exactly: 8-bit RGB, or RGBA when
// the picture has an alpha channel. Written for speed: the "Up" filter
// through ISA-L's level-1 deflate, a tenth of zlib's time at its fastest
// level and no larger. Returns an empty array when `cancel` becomes true
// before the file is done, or for a null picture.
QByteArray png(const QImage& source, const std::atomic<bool>* cancel = nullptr);

} // namespace zs::formats
