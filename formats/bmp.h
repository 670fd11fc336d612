#pragma once

#include <QByteArray>
#include <QImage>

#include <atomic>

class QIODevice;

// Windows bitmap files, every kept pixel exactly: rows bottom-up, each padded
// to a multiple of four bytes, blue before green before red.
namespace zs::formats {

// Pixels per metre of a screen with `twipsPerPixel` twips (1/1440 inch) to a
// pixel: 15 (96 dpi) gives 3780. Anything not above zero gives 3780 too.
int dotsPerMeter(float twipsPerPixel);

// What differs between the files the program writes.
struct BmpOptions {
    // The resolution in the header, across and down. 2835 is 72 dpi.
    int dotsPerMeter = 2835;
    // true: a picture with an alpha channel becomes a 32-bit file with a
    // BITMAPV4HEADER whose masks say where alpha is (BI_BITFIELDS), so that
    // readers keep it. false, or a picture without alpha: 24 bits a pixel
    // (BITMAPINFOHEADER, BI_RGB), alpha dropped.
    bool keepAlpha = false;
    // Looked at before the pixels and between blocks of rows of about 1 MiB.
    const std::atomic<bool>* cancel = nullptr;
};

enum class BmpResult {
    Written,
    TooLarge,    // the file would pass 4 GiB, the most its header can say
    Cancelled,   // `cancel` became true
    DeviceFailed // the device refused a write; its error string says why
};

// Writes `source` as a BMP to `device`, the rows in chunks of about 1 MiB.
// A null picture gives a header alone (0 x 0 pixels). When the file would be
// too large, nothing is written and no pixel is read.
BmpResult writeBmp(QIODevice& device, const QImage& source, const BmpOptions& options = {});

// The same file in memory: empty when it would be too large or when
// cancelled.
QByteArray bmp(const QImage& source, const BmpOptions& options = {});

} // namespace zs::formats
