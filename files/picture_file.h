#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include <cstdint>

// Reading picture files for the capture surface.
namespace zs::files {

// The largest picture that is loaded: 2^27 pixels (134,217,728, 512 MiB as
// 32-bit pixels) and 65535 pixels a side. Anything larger is refused from its
// header, before the decoder allocates memory for it.
inline constexpr std::int64_t kMaxPicturePixels = std::int64_t{1} << 27;
inline constexpr int kMaxPictureSide = 65535;
// Qt's own cap on a decoder's allocation, raised from its default so that a
// picture within the limits above decodes even at 8 bytes a pixel.
inline constexpr int kDecoderAllocationLimitMiB = 1024;

// Limits on a picture's size; the defaults are those above.
struct PictureLimits {
    std::int64_t maxPixels = kMaxPicturePixels;
    int maxSide = kMaxPictureSide;
};

// True when a picture of `size` pixels is within `limits`.
bool pictureSizeAllowed(QSize size, const PictureLimits& limits = {});

// Whether the bytes of a JPEG file run through to its end-of-image marker,
// walking the marker segments and the entropy-coded data of every scan. A
// file cut short in transfer has none, and the decoder would otherwise fill
// the missing part with grey without a word.
bool jpegComplete(const unsigned char* data, std::int64_t size);
// Whether an uncompressed BMP file holds all the pixel rows its header
// announces; compressed bitmaps are not checked.
bool bmpComplete(const unsigned char* data, std::int64_t size);

// Decodes the bytes of a picture file in any format Qt's image readers know,
// judged by the content: probes the format, refuses a picture beyond the
// limits from its header, checks that a JPEG or BMP runs to its end, then
// decodes. `path` names the file in messages. Throws as loadPictureFile does.
QImage decodePicture(const QByteArray& bytes, const QString& path,
                     const PictureLimits& limits = {});

// The canvas (logical screen) a GIF file declares in its header; an invalid
// size when the bytes are not a GIF header.
QSize gifCanvasSize(const unsigned char* data, std::int64_t size);

// Reads a picture file in any format Qt's image readers know, judged by the
// content rather than the name. An empty name gives the empty picture. Throws
// zs::Error(File) for a file that is missing, cannot be read, is not a
// picture or ends early, and zs::Error(OutOfMemory) for one beyond the
// limits; each message names the file and the problem.
QImage loadPictureFile(const QString& path);

} // namespace zs::files
