#include "formats/bmp.h"

#include "formats/writer_support.h"

#include <QIODevice>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace zs::formats {

int dotsPerMeter(float twipsPerPixel) {
    if (!(twipsPerPixel > 0)) {
        return 3780;
    }
    return static_cast<int>(std::lround(1440.0 / twipsPerPixel / 0.0254));
}

namespace {

static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "rows are packed from little-endian words");

constexpr std::size_t kFileHeaderSize = 14; // BITMAPFILEHEADER
constexpr std::size_t kInfoSize = 40;       // BITMAPINFOHEADER
constexpr std::size_t kV4InfoSize = 108;    // BITMAPV4HEADER
constexpr std::uint64_t kMaxFileSize = 0xFFFFFFFFu;
constexpr std::size_t kBlockBytes = std::size_t{1} << 20;

// The shape of the file, known before any pixel is read.
struct Layout {
    int width = 0;
    int height = 0;
    bool alpha = false;     // 32 bits a pixel; else 24
    std::size_t stride = 0; // bytes a row, padded to a multiple of four
    std::size_t offset = 0; // where the rows start
    std::uint64_t fileSize = 0;

    Layout(const QImage& source, bool keepAlpha)
        : width(source.isNull() ? 0 : source.width()),
          height(source.isNull() ? 0 : source.height()),
          alpha(keepAlpha && source.hasAlphaChannel()),
          offset(kFileHeaderSize + (alpha ? kV4InfoSize : kInfoSize)) {
        const std::uint64_t rowBytes = static_cast<std::uint64_t>(width) * (alpha ? 4 : 3);
        stride = static_cast<std::size_t>((rowBytes + 3) & ~std::uint64_t{3});
        fileSize = offset + static_cast<std::uint64_t>(stride) * static_cast<std::uint64_t>(height);
    }

    bool fits() const { return fileSize <= kMaxFileSize; }

    // Rows handed on at a time: about kBlockBytes, at least one.
    int rowsPerBlock() const {
        return stride == 0 ? 1 : static_cast<int>(std::max<std::size_t>(1, kBlockBytes / stride));
    }
};

// The file's headers, `layout.offset` bytes.
void writeHeaders(const Layout& layout, int dpm, char* out) {
    std::memset(out, 0, layout.offset);
    out[0] = 'B';
    out[1] = 'M';
    putLittleEndian32(out + 2, static_cast<std::uint32_t>(layout.fileSize));
    // bfReserved1 and bfReserved2 stay zero.
    putLittleEndian32(out + 10, static_cast<std::uint32_t>(layout.offset));
    char* info = out + kFileHeaderSize;
    putLittleEndian32(info, static_cast<std::uint32_t>(layout.offset - kFileHeaderSize));
    putLittleEndian32(info + 4, static_cast<std::uint32_t>(layout.width));
    putLittleEndian32(info + 8, static_cast<std::uint32_t>(layout.height)); // positive: bottom-up
    putLittleEndian16(info + 12, 1);                                        // planes
    putLittleEndian16(info + 14, layout.alpha ? 32 : 24);
    putLittleEndian32(info + 16, layout.alpha ? 3 : 0); // BI_BITFIELDS or BI_RGB
    putLittleEndian32(info + 20, static_cast<std::uint32_t>(layout.fileSize - layout.offset));
    putLittleEndian32(info + 24, static_cast<std::uint32_t>(dpm));
    putLittleEndian32(info + 28, static_cast<std::uint32_t>(dpm));
    // biClrUsed and biClrImportant stay zero.
    if (layout.alpha) {
        putLittleEndian32(info + 40, 0x00FF0000u); // red
        putLittleEndian32(info + 44, 0x0000FF00u); // green
        putLittleEndian32(info + 48, 0x000000FFu); // blue
        putLittleEndian32(info + 52, 0xFF000000u); // alpha
        putLittleEndian32(info + 56, 0x73524742u); // 'sRGB'; endpoints and gamma stay zero
    }
}

// One row of 0xAARRGGBB pixels as B, G, R bytes. Four pixels at a time make
// three 32-bit words, which keeps the loop close to memory speed.
void packRow24(const std::uint32_t* src, int width, unsigned char* dst) {
    int x = 0;
    for (; x + 4 <= width; x += 4) {
        const std::uint32_t p0 = src[x];
        const std::uint32_t p1 = src[x + 1];
        const std::uint32_t p2 = src[x + 2];
        const std::uint32_t p3 = src[x + 3];
        const std::uint32_t w0 = (p0 & 0x00FFFFFFu) | (p1 << 24);
        const std::uint32_t w1 = ((p1 >> 8) & 0x0000FFFFu) | (p2 << 16);
        const std::uint32_t w2 = ((p2 >> 16) & 0x000000FFu) | (p3 << 8);
        std::memcpy(dst, &w0, 4);
        std::memcpy(dst + 4, &w1, 4);
        std::memcpy(dst + 8, &w2, 4);
        dst += 12;
    }
    for (; x < width; ++x) {
        const std::uint32_t p = src[x];
        *dst++ = static_cast<unsigned char>(p);
        *dst++ = static_cast<unsigned char>(p >> 8);
        *dst++ = static_cast<unsigned char>(p >> 16);
    }
}

// Packs the file's rows `first` to `first + count - 1` (the file's first
// row is the picture's last) into `dst`, padding included.
void packRows(const QImage& pixels, const Layout& layout, int first, int count,
              unsigned char* dst) {
    const std::size_t used = static_cast<std::size_t>(layout.width) * (layout.alpha ? 4 : 3);
    for (int row = first; row < first + count; ++row) {
        const auto* src =
            reinterpret_cast<const std::uint32_t*>(pixels.constScanLine(layout.height - 1 - row));
        if (layout.alpha) {
            std::memcpy(dst, src, used); // 0xAARRGGBB words are B, G, R, A bytes
        } else {
            packRow24(src, layout.width, dst);
        }
        std::memset(dst + used, 0, layout.stride - used);
        dst += layout.stride;
    }
}

// Packs the rows a block of about 1 MiB at a time, each handed to
// `block(first, count)` (file rows `first` to `first + count - 1`), which
// packs them where they go and may refuse (false). Looks at the cancel
// flag before each block.
template <typename Block>
BmpResult eachBlock(const Layout& layout, const std::atomic<bool>* cancel, Block block) {
    const int rows = layout.rowsPerBlock();
    for (int first = 0; first < layout.height; first += rows) {
        if (cancelled(cancel)) {
            return BmpResult::Cancelled;
        }
        if (!block(first, std::min(rows, layout.height - first))) {
            return BmpResult::DeviceFailed;
        }
    }
    return BmpResult::Written;
}

// Writes all of `size` bytes. A short write is retried, so that the failure
// behind it (a full disk, a file size limit) is reported by the next attempt
// and left in the device's error string.
bool writeAll(QIODevice& device, const char* data, qint64 size) {
    while (size > 0) {
        const qint64 n = device.write(data, size);
        if (n <= 0) {
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

} // namespace

BmpResult writeBmp(QIODevice& device, const QImage& source, const BmpOptions& options) {
    const Layout layout(source, options.keepAlpha);
    if (!layout.fits()) {
        return BmpResult::TooLarge;
    }
    if (cancelled(options.cancel)) {
        return BmpResult::Cancelled;
    }
    const QImage pixels = argbPixels(source, options.keepAlpha);
    std::array<char, kFileHeaderSize + kV4InfoSize> headers{};
    writeHeaders(layout, options.dotsPerMeter, headers.data());
    if (!writeAll(device, headers.data(), static_cast<qint64>(layout.offset))) {
        return BmpResult::DeviceFailed;
    }
    // Few system calls, little memory.
    std::vector<unsigned char> chunk(layout.stride *
                                     static_cast<std::size_t>(layout.rowsPerBlock()));
    return eachBlock(layout, options.cancel, [&](int first, int count) {
        packRows(pixels, layout, first, count, chunk.data());
        return writeAll(device, reinterpret_cast<const char*>(chunk.data()),
                        static_cast<qint64>(layout.stride) * count);
    });
}

QByteArray bmp(const QImage& source, const BmpOptions& options) {
    const Layout layout(source, options.keepAlpha);
    if (!layout.fits() || cancelled(options.cancel)) {
        return {};
    }
    const QImage pixels = argbPixels(source, options.keepAlpha);
    QByteArray out(static_cast<qsizetype>(layout.fileSize), Qt::Uninitialized);
    writeHeaders(layout, options.dotsPerMeter, out.data());
    auto* rows = reinterpret_cast<unsigned char*>(out.data()) + layout.offset;
    const BmpResult result = eachBlock(layout, options.cancel, [&](int first, int count) {
        packRows(pixels, layout, first, count,
                 rows + layout.stride * static_cast<std::size_t>(first));
        return true;
    });
    return result == BmpResult::Written ? out : QByteArray();
}

} // namespace zs::formats
