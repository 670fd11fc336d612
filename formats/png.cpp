#include "formats/png.h"

#include "formats/writer_support.h"

#include <isa-l/crc.h>
#include <isa-l/igzip_lib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace zs::formats {

namespace {

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
// `Channels` is 4 with alpha (RGBA), else 3 (RGB); the loop is made once for
// each, so that neither asks about alpha a pixel.
template <int Channels>
void filterRowUp(const QRgb* row, const QRgb* above, int width, unsigned char* out) {
    *out++ = 2;
    for (int x = 0; x < width; ++x) {
        const QRgb c = row[x];
        const QRgb a = above != nullptr ? above[x] : 0;
        out[0] = static_cast<unsigned char>(qRed(c) - qRed(a));
        out[1] = static_cast<unsigned char>(qGreen(c) - qGreen(a));
        out[2] = static_cast<unsigned char>(qBlue(c) - qBlue(a));
        if constexpr (Channels == 4) {
            out[3] = static_cast<unsigned char>(qAlpha(c) - qAlpha(a));
        }
        out += Channels;
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
    const QImage image = argbPixels(source, /*keepAlpha=*/true);
    const bool alpha = source.hasAlphaChannel();
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
            unsigned char* out = block.data() + rowBytes * (y - y0);
            if (alpha) {
                filterRowUp<4>(row, above, width, out);
            } else {
                filterRowUp<3>(row, above, width, out);
            }
        }
        if (!idat.feed(block.data(), rowBytes * static_cast<std::size_t>(y1 - y0), y1 == height)) {
            return {};
        }
    }
    appendChunk(out, "IEND", nullptr, 0);
    return out;
}

} // namespace zs::formats
