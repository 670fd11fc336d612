#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

class QIODevice;

// Windows bitmap files: a 24-bit writer.
namespace zs::files {

// Pixels per metre for a screen of `twipsPerPixel` (96 dpi → 3780).
int dotsPerMeter(float twipsPerPixel);

// Writes `source` as a BMP of `dpm` pixels per metre: BITMAPFILEHEADER,
// BITMAPINFOHEADER, 24 bits per pixel (BI_RGB), rows bottom-up and padded to
// a multiple of four bytes. Alpha is dropped. Returns false when the device
// refuses a write.
bool writeBmp(QIODevice& device, const QImage& source, int dpm);
QByteArray encodeBmp(const QImage& image, int dpm);

// Writes `image` to the file `path`. A regular file (or a new one) is
// written to a temporary file beside it that then replaces it, so a failed
// write leaves an existing file as it was; a device or pipe is written in
// place. Throws zs::Error(File) naming the file and the system's reason.
void saveBmpFile(const QImage& image, const QString& path, int dpm);

} // namespace zs::files
