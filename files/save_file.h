#pragma once

#include <QImage>
#include <QString>

// "Save": the picture as a 24-bit Windows bitmap file (formats/bmp.h) or a
// PNG file.
namespace zs::files {

// Writes `image` to the file `path` as a BMP of `dpm` pixels per metre,
// alpha dropped. A regular file (or a new one) is written to a temporary
// file beside it that then replaces it, so a failed write leaves an existing
// file as it was; a device is written in place, at the pace it takes data,
// and the save fails once it has taken none for 30 s; a named pipe or a
// socket is refused, as writing into it would wait for a reader. Throws
// zs::Error(File) naming the file and the system's reason, or saying that
// the picture is too large for a bitmap file.
void saveBmpFile(const QImage& image, const QString& path, int dpm);

// The same for a PNG file (formats/png.h: every pixel exactly), with the
// same handling of existing files, devices, pipes and sockets.
void savePngFile(const QImage& image, const QString& path);

} // namespace zs::files
