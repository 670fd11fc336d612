#include "formats/image_encoding.h"

#include <isa-l/crc.h>
#include <isa-l/igzip_lib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace zs::encoding {

namespace {

bool cancelled(const std::atomic<bool>* cancel) {
    return cancel != nullptr && cancel->load(std::memory_order_relaxed);
}

// Every pixel as 0xAARRGGBB words: opaque pictures as RGB32, the others as
// straight (not premultiplied) ARGB32. Both are free for the usual formats.
QImage normalised(const QImage& image) {
    const QImage::Format wanted =
        image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32;
    return image.format() == wanted ? image : image.convertToFormat(wanted);
}

void putBigEndian32(char* at, std::uint32_t v) {
    at[0] = static_cast<char>(v >> 24);
    at[1] = static_cast<char>(v >> 16);
    at[2] = static_cast<char>(v >> 8);
    at[3] = static_cast<char>(v);
}

void putLittleEndian(char* at, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        at[i] = static_cast<char>(v >> (8 * i));
    }
}

// PNG chunk: length, type, data, CRC-32 of type and data (the reflected
// CRC-32 of zlib and gzip, which ISA-L computes as crc32_gzip_refl).
void appendChunk(QByteArray& out, const char type[4], const unsigned char* data, std::size_t size) {
    char head[8];
    putBigEndian32(head, static_cast<std::uint32_t>(size));
    std::memcpy(head + 4, type, 4);
    out.append(head, 8);
    out.append(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    std::uint32_t crc = crc32_gzip_refl(0, reinterpret_cast<const unsigned char*>(type), 4);
    crc = crc32_gzip_refl(crc, data, size);
    char tail[4];
    putBigEndian32(tail, crc);
    out.append(tail, 4);
}

// One row with filter type 2 ("Up": each byte less the byte above it).
// Screen content repeats from row to row, so flat areas and unchanged runs
// become zeros that deflate squeezes to almost nothing; a photograph's
// smooth gradients turn into small numbers. It costs one subtraction a byte,
// which matters more here than the last percent of size.
void filterRowUp(const QRgb* row, const QRgb* above, bool alpha, int width, unsigned char* out) {
    *out++ = 2;
    if (alpha) {
        for (int x = 0; x < width; ++x) {
            const QRgb c = row[x];
            const QRgb a = above != nullptr ? above[x] : 0;
            out[0] = static_cast<unsigned char>(qRed(c) - qRed(a));
            out[1] = static_cast<unsigned char>(qGreen(c) - qGreen(a));
            out[2] = static_cast<unsigned char>(qBlue(c) - qBlue(a));
            out[3] = static_cast<unsigned char>(qAlpha(c) - qAlpha(a));
            out += 4;
        }
        return;
    }
    for (int x = 0; x < width; ++x) {
        const QRgb c = row[x];
        const QRgb a = above != nullptr ? above[x] : 0;
        out[0] = static_cast<unsigned char>(qRed(c) - qRed(a));
        out[1] = static_cast<unsigned char>(qGreen(c) - qGreen(a));
        out[2] = static_cast<unsigned char>(qBlue(c) - qBlue(a));
        out += 3;
    }
}

// Streams the filtered rows through ISA-L's deflate (level 1, zlib format)
// and appends its output to `png` as IDAT chunks of at most kChunk bytes.
class IdatWriter {
public:
    static constexpr std::size_t kChunk = 1 << 20;

    explicit IdatWriter(QByteArray& png)
        : m_png(png), m_level(ISAL_DEF_LVL1_DEFAULT), m_out(kChunk) {
        isal_deflate_init(&m_stream);
        m_stream.level = 1;
        m_stream.level_buf = m_level.data();
        m_stream.level_buf_size = static_cast<std::uint32_t>(m_level.size());
        m_stream.gzip_flag = IGZIP_ZLIB;
        m_stream.flush = NO_FLUSH;
        m_stream.next_out = m_out.data();
        m_stream.avail_out = static_cast<std::uint32_t>(m_out.size());
    }

    // Feeds `size` bytes; `last` ends the stream.
    bool feed(unsigned char* data, std::size_t size, bool last) {
        m_stream.next_in = data;
        m_stream.avail_in = static_cast<std::uint32_t>(size);
        m_stream.end_of_stream = last ? 1 : 0;
        while (true) {
            if (isal_deflate(&m_stream) != COMP_OK) {
                return false;
            }
            const bool done = last && m_stream.internal_state.state == ZSTATE_END;
            if (m_stream.avail_out == 0 || done) {
                flushChunk();
            }
            if (done || (!last && m_stream.avail_in == 0)) {
                return true;
            }
        }
    }

private:
    void flushChunk() {
        const std::size_t used = m_out.size() - m_stream.avail_out;
        if (used > 0) {
            appendChunk(m_png, "IDAT", m_out.data(), used);
        }
        m_stream.next_out = m_out.data();
        m_stream.avail_out = static_cast<std::uint32_t>(m_out.size());
    }

    QByteArray& m_png;
    isal_zstream m_stream{};
    std::vector<unsigned char> m_level;
    std::vector<unsigned char> m_out;
};

} // namespace

QByteArray png(const QImage& source, const std::atomic<bool>* cancel) {
    if (source.isNull() || cancelled(cancel)) {
        return {};
    }
    const QImage image = normalised(source);
    const bool alpha = image.format() == QImage::Format_ARGB32;
    const int width = image.width();
    const int height = image.height();
    const std::size_t channels = alpha ? 4 : 3;
    const std::size_t rowBytes = 1 + static_cast<std::size_t>(width) * channels;

    QByteArray out;
    // Screen pictures usually shrink to a quarter or less.
    const std::size_t estimate = rowBytes * static_cast<std::size_t>(height) / 4 + 1024;
    out.reserve(static_cast<qsizetype>(estimate));
    out.append("\x89PNG\r\n\x1a\n", 8);
    unsigned char ihdr[13];
    putBigEndian32(reinterpret_cast<char*>(ihdr), static_cast<std::uint32_t>(width));
    putBigEndian32(reinterpret_cast<char*>(ihdr) + 4, static_cast<std::uint32_t>(height));
    ihdr[8] = 8;             // bits per sample
    ihdr[9] = alpha ? 6 : 2; // RGBA or RGB
    ihdr[10] = 0;            // deflate
    ihdr[11] = 0;            // adaptive filtering, one filter byte a row
    ihdr[12] = 0;            // not interlaced
    appendChunk(out, "IHDR", ihdr, sizeof ihdr);

    // Rows go to the compressor in blocks of about 256 KiB, so the filtered
    // copy never holds the whole picture.
    const int rowsPerBlock = std::max(1, static_cast<int>(std::size_t{256} * 1024 / rowBytes));
    std::vector<unsigned char> block(rowBytes * static_cast<std::size_t>(rowsPerBlock));
    IdatWriter idat(out);
    for (int y0 = 0; y0 < height; y0 += rowsPerBlock) {
        if (cancelled(cancel)) {
            return {};
        }
        const int y1 = std::min(height, y0 + rowsPerBlock);
        for (int y = y0; y < y1; ++y) {
            const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            const auto* above =
                y > 0 ? reinterpret_cast<const QRgb*>(image.constScanLine(y - 1)) : nullptr;
            filterRowUp(row, above, alpha, width, block.data() + rowBytes * (y - y0));
        }
        if (!idat.feed(block.data(), rowBytes * static_cast<std::size_t>(y1 - y0), y1 == height)) {
            return {};
        }
    }
    appendChunk(out, "IEND", nullptr, 0);
    return out;
}

QByteArray bmp(const QImage& source, const std::atomic<bool>* cancel) {
    if (source.isNull() || cancelled(cancel)) {
        return {};
    }
    const QImage image = normalised(source);
    const bool alpha = image.format() == QImage::Format_ARGB32;
    const int width = image.width();
    const int height = image.height();
    const std::size_t bytesPerPixel = alpha ? 4 : 3;
    const std::size_t stride =
        (static_cast<std::size_t>(width) * bytesPerPixel + 3) & ~std::size_t(3);
    // BITMAPINFOHEADER (40 bytes); with alpha BITMAPV4HEADER (108 bytes),
    // whose masks say where alpha lives, so readers keep it.
    const std::size_t infoSize = alpha ? 108 : 40;
    const std::size_t offset = 14 + infoSize;
    const std::size_t fileSize = offset + stride * static_cast<std::size_t>(height);
    if (fileSize > 0xFFFFFFFFu) {
        return {};
    }

    QByteArray out(static_cast<qsizetype>(fileSize), Qt::Uninitialized);
    char* p = out.data();
    std::memset(p, 0, offset);
    p[0] = 'B';
    p[1] = 'M';
    putLittleEndian(p + 2, static_cast<std::uint32_t>(fileSize), 4);
    putLittleEndian(p + 10, static_cast<std::uint32_t>(offset), 4);
    char* info = p + 14;
    putLittleEndian(info, static_cast<std::uint32_t>(infoSize), 4);
    putLittleEndian(info + 4, static_cast<std::uint32_t>(width), 4);
    putLittleEndian(info + 8, static_cast<std::uint32_t>(height), 4); // positive: bottom-up
    putLittleEndian(info + 12, 1, 2);                                 // planes
    putLittleEndian(info + 14, static_cast<std::uint32_t>(bytesPerPixel * 8), 2);
    putLittleEndian(info + 16, alpha ? 3 : 0, 4); // BI_BITFIELDS or BI_RGB
    putLittleEndian(info + 20, static_cast<std::uint32_t>(stride * height), 4);
    putLittleEndian(info + 24, 2835, 4); // 72 dots per inch, in dots per metre
    putLittleEndian(info + 28, 2835, 4);
    if (alpha) {
        putLittleEndian(info + 40, 0x00FF0000u, 4); // red
        putLittleEndian(info + 44, 0x0000FF00u, 4); // green
        putLittleEndian(info + 48, 0x000000FFu, 4); // blue
        putLittleEndian(info + 52, 0xFF000000u, 4); // alpha
        putLittleEndian(info + 56, 0x73524742u, 4); // 'sRGB'
    }

    for (int y = 0; y < height; ++y) {
        if ((y & 63) == 0 && cancelled(cancel)) {
            return {};
        }
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        auto* dst = reinterpret_cast<unsigned char*>(
            p + offset + stride * static_cast<std::size_t>(height - 1 - y));
        if (alpha) {
            for (int x = 0; x < width; ++x) {
                const QRgb c = row[x];
                dst[0] = static_cast<unsigned char>(qBlue(c));
                dst[1] = static_cast<unsigned char>(qGreen(c));
                dst[2] = static_cast<unsigned char>(qRed(c));
                dst[3] = static_cast<unsigned char>(qAlpha(c));
                dst += 4;
            }
        } else {
            for (int x = 0; x < width; ++x) {
                const QRgb c = row[x];
                dst[0] = static_cast<unsigned char>(qBlue(c));
                dst[1] = static_cast<unsigned char>(qGreen(c));
                dst[2] = static_cast<unsigned char>(qRed(c));
                dst += 3;
            }
            std::memset(dst, 0, stride - static_cast<std::size_t>(width) * 3);
        }
    }
    return out;
}

} // namespace zs::encoding
