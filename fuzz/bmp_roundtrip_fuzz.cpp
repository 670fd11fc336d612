// Fuzz target for the BMP writer: a picture of the size, format and pixels
// the input chooses is written as a BMP and read back, with Qt's own reader
// and with the loader; both must give the same pixels, alpha dropped. The
// file streamed to a device must be the same bytes, and with alpha kept Qt's
// reader must give back the pixels with their alpha.
#include "files/picture_file.h"
#include "formats/bmp.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The formats a picture on the surface or in the editor may have, RGB32 and
// ARGB32 written directly, the others converted first.
constexpr std::array kFormats = {
    QImage::Format_RGB32,    QImage::Format_ARGB32, QImage::Format_ARGB32_Premultiplied,
    QImage::Format_RGB888,   QImage::Format_RGB16,  QImage::Format_Grayscale8,
    QImage::Format_Indexed8, QImage::Format_Mono,   QImage::Format_RGBA64,
    QImage::Format_BGR30,
};

constexpr int kMaxSide = 300;

// Reads input bytes in order, zero once they run out.
class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    std::uint8_t byte() { return m_at < m_size ? m_data[m_at++] : 0; }
    int number(int limit) { // 0 .. limit - 1
        const int v = (byte() << 8) | byte();
        return v % limit;
    }
    const std::uint8_t* rest(std::size_t& size) const {
        size = m_size - m_at;
        return m_data + m_at;
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
};

QImage pictureFrom(Input& in) {
    const int width = in.number(kMaxSide + 1);
    const int height = in.number(kMaxSide + 1);
    const QImage::Format format = kFormats[in.byte() % kFormats.size()];
    QImage image(width, height, format);
    if (image.isNull()) {
        return image;
    }
    if (format == QImage::Format_Indexed8) {
        QList<QRgb> table(256);
        for (int i = 0; i < 256; ++i) {
            table[i] = qRgb(i, 255 - i, (i * 7) & 0xFF);
        }
        image.setColorTable(table);
    } else if (format == QImage::Format_Mono) {
        image.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    }
    // The pixels repeat what is left of the input over every row.
    std::size_t size = 0;
    const std::uint8_t* pixels = in.rest(size);
    const auto row = static_cast<std::size_t>(image.bytesPerLine());
    for (int y = 0; y < height; ++y) {
        std::uint8_t* line = image.scanLine(y);
        for (std::size_t x = 0; x < row; ++x) {
            line[x] = size == 0 ? static_cast<std::uint8_t>(x * 31 + y)
                                : pixels[(static_cast<std::size_t>(y) * row + x) % size];
        }
    }
    if (image.format() == QImage::Format_ARGB32_Premultiplied) {
        // Keep premultiplied pixels valid: no colour above its alpha.
        for (int y = 0; y < height; ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < width; ++x) {
                const int a = qAlpha(line[x]);
                line[x] = qRgba(std::min(qRed(line[x]), a), std::min(qGreen(line[x]), a),
                                std::min(qBlue(line[x]), a), a);
            }
        }
    }
    return image;
}

// The pixels a BMP of `image` should hold: opaque 24-bit colour.
QImage expectedPixels(const QImage& image) {
    const QImage rgb =
        image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32
            ? image
            : image.convertToFormat(QImage::Format_RGB32);
    QImage opaque(rgb.size(), QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* src = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        auto* dst = reinterpret_cast<QRgb*>(opaque.scanLine(y));
        for (int x = 0; x < rgb.width(); ++x) {
            dst[x] = src[x] | 0xFF000000u;
        }
    }
    return opaque;
}

bool samePixels(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) {
        return false;
    }
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    for (int row = 0; row < x.height(); ++row) {
        if (std::memcmp(x.constScanLine(row), y.constScanLine(row),
                        static_cast<std::size_t>(x.width()) * 4) != 0) {
            return false;
        }
    }
    return true;
}

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "round trip: %s differs\n", what);
        std::abort();
    }
}

std::uint32_t le32(const unsigned char* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    const int dpm = in.number(20000);
    const QImage image = pictureFrom(in);
    zs::formats::BmpOptions options; // as "Save" writes: alpha dropped
    options.dotsPerMeter = dpm;
    const QByteArray bmp = zs::formats::bmp(image, options);
    const auto* bytes = reinterpret_cast<const unsigned char*>(bmp.constData());

    const auto rowBytes = (static_cast<qsizetype>(image.width()) * 3 + 3) / 4 * 4;
    check(bmp.size() == 54 + rowBytes * image.height(), "file size");
    check(le32(bytes + 2) == static_cast<std::uint32_t>(bmp.size()), "bfSize");
    check(le32(bytes + 38) == static_cast<std::uint32_t>(dpm) &&
              le32(bytes + 42) == static_cast<std::uint32_t>(dpm),
          "pixels per metre");
    check(zs::files::bmpComplete(bytes, bmp.size()), "complete");
    // Streamed to a device in chunks, as "Save" writes it: the same bytes.
    QByteArray streamed;
    {
        QBuffer device(&streamed);
        device.open(QIODevice::WriteOnly);
        check(zs::formats::writeBmp(device, image, options) == zs::formats::BmpResult::Written,
              "writing to a device");
    }
    check(streamed == bmp, "the streamed file");
    if (image.isNull()) {
        return 0; // a header alone: no reader takes a picture without pixels
    }

    QBuffer buffer;
    buffer.setData(bmp);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "bmp");
    const QImage expected = expectedPixels(image);
    check(samePixels(reader.read(), expected), "Qt's reader");
    check(samePixels(zs::files::decodePicture(bmp, QStringLiteral("round trip")), expected),
          "the loader");

    // With alpha kept, as the clipboard writes it, a picture with an alpha
    // channel becomes a 32-bit file that Qt reads back with its alpha.
    if (image.hasAlphaChannel()) {
        options.keepAlpha = true;
        QBuffer withAlpha;
        withAlpha.setData(zs::formats::bmp(image, options));
        check(withAlpha.size() == 122 + qint64{4} * image.width() * image.height(),
              "32-bit file size");
        withAlpha.open(QIODevice::ReadOnly);
        QImageReader reader32(&withAlpha, "bmp");
        check(reader32.read().convertToFormat(QImage::Format_ARGB32) ==
                  image.convertToFormat(QImage::Format_ARGB32),
              "Qt's reader, alpha kept");
    }
    return 0;
}
