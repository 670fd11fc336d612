#pragma once

#include <QByteArray>
#include <QImage>

#include <atomic>

// Lossless picture files for the clipboard, written for speed: PNG with the
// "Up" filter through ISA-L's level-1 deflate (a tenth of zlib's time at
// its fastest level, and no larger), and BMP as a plain copy of the rows.
// Both keep every pixel exactly.
namespace zs::encoding {

// The picture as a PNG file: 8-bit RGB, or RGBA when the picture has an
// alpha channel. Returns an empty array when `cancel` becomes true before
// the file is done, or for a null picture.
QByteArray png(const QImage& source, const std::atomic<bool>* cancel = nullptr);

// The picture as a Windows bitmap file: 24-bit rows bottom-up, or 32-bit
// with an alpha mask when the picture has an alpha channel. Empty for a
// null picture or when cancelled.
QByteArray bmp(const QImage& source, const std::atomic<bool>* cancel = nullptr);

} // namespace zs::encoding
