#include "formats/bmp.h"
#include "formats/png.h"
#include "services/fakes/fakes.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace zs::formats {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes bytesOf(const QByteArray& a) {
    return Bytes(a.begin(), a.end());
}

BmpOptions withAlpha(bool keepAlpha, int dpm = 2835) {
    BmpOptions options;
    options.dotsPerMeter = dpm;
    options.keepAlpha = keepAlpha;
    return options;
}

// The pixels as 0xAARRGGBB words, the way both writers read them.
QImage straight(const QImage& image) {
    return image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32
                                                         : QImage::Format_RGB32);
}

// What a file without alpha keeps: the straight colours, read as RGB32,
// whose comparison leaves out the alpha byte.
QImage opaque(const QImage& image) {
    const QImage words = straight(image);
    return QImage(words.constBits(), words.width(), words.height(), words.bytesPerLine(),
                  QImage::Format_RGB32)
        .copy();
}

QImage translucent(QSize size) {
    QImage image(size, QImage::Format_ARGB32);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            image.setPixel(
                x, y, qRgba((x * 37) & 255, (y * 11) & 255, (x ^ y) & 255, (x * 7 + y * 3) & 255));
        }
    }
    return image;
}

// A view of a region of a larger picture: rows longer than the picture's
// width, as the crop holder hands them out.
QImage regionView(const QImage& big, QRect region) {
    return QImage(big.constScanLine(region.y()) + std::ptrdiff_t{4} * region.x(), region.width(),
                  region.height(), big.bytesPerLine(), big.format());
}

struct Picture {
    std::string what;
    std::function<QImage()> make;
};

class Writers : public testing::TestWithParam<Picture> {};

// Whatever the size, row padding, format or alpha, every file reads back as
// exactly the picture that went in: PNG and the BMP with alpha kept whole,
// the BMP without alpha as the opaque colours.
TEST_P(Writers, ReadBackPixelForPixel) {
    const QImage source = GetParam().make();
    ASSERT_FALSE(source.isNull());
    const struct {
        const char* what;
        QByteArray file;
        const char* format;
        QImage want;
    } files[] = {
        {"PNG", png(source), "PNG", straight(source)},
        {"BMP, alpha kept", bmp(source, withAlpha(true)), "BMP", straight(source)},
        {"BMP, alpha dropped", bmp(source, withAlpha(false)), "BMP", opaque(source)},
    };
    for (const auto& f : files) {
        ASSERT_FALSE(f.file.isEmpty()) << f.what;
        const QImage got = QImage::fromData(f.file, f.format);
        ASSERT_FALSE(got.isNull()) << f.what << " did not decode";
        EXPECT_EQ(got.size(), f.want.size()) << f.what;
        EXPECT_EQ(got.convertToFormat(f.want.format()), f.want) << f.what << " differs";
    }
}

const QImage kBig = fakes::patternImage(QSize(301, 97));

INSTANTIATE_TEST_SUITE_P(
    Pictures, Writers,
    testing::Values(Picture{"OnePixel", [] { return fakes::patternImage(QSize(1, 1)); }},
                    // 3 bytes a pixel: widths 1, 2, 3 and 5 need 3, 2, 3 and 1 padding
                    // bytes a BMP row.
                    Picture{"Width2", [] { return fakes::patternImage(QSize(2, 9)); }},
                    Picture{"Width3", [] { return fakes::patternImage(QSize(3, 9)); }},
                    Picture{"Width5", [] { return fakes::patternImage(QSize(5, 9)); }},
                    Picture{"Tall", [] { return fakes::patternImage(QSize(4, 3000)); }},
                    // Wider than one block of rows handed to the compressor at a time.
                    Picture{"Wide", [] { return fakes::patternImage(QSize(100000, 2)); }},
                    // Several blocks of rows of about 1 MiB.
                    Picture{"ScreenSized", [] { return fakes::patternImage(QSize(1920, 1080)); }},
                    Picture{"Flat",
                            [] {
                                QImage image(640, 480, QImage::Format_RGB32);
                                image.fill(qRgb(12, 34, 56));
                                return image;
                            }},
                    Picture{"Translucent", [] { return translucent(QSize(33, 17)); }},
                    Picture{"Premultiplied",
                            [] {
                                return translucent(QSize(20, 20))
                                    .convertToFormat(QImage::Format_ARGB32_Premultiplied);
                            }},
                    Picture{"Rgb888", [] { return kBig.convertToFormat(QImage::Format_RGB888); }},
                    Picture{"Rgba64", [] { return kBig.convertToFormat(QImage::Format_RGBA64); }},
                    Picture{"RegionView", [] { return regionView(kBig, QRect(17, 5, 123, 61)); }}),
    [](const testing::TestParamInfo<Picture>& info) { return info.param.what; });

void putLe32(Bytes& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
}

// The header of a bottom-up bitmap as other programs read it, as 32-bit
// little-endian words after "BM": bfSize, the reserved words, bfOffBits,
// the info header's size, width, height, planes and bits, compression,
// biSizeImage, the resolution twice, biClrUsed, biClrImportant. A 32-bit
// file has a BITMAPV4HEADER: BI_BITFIELDS, the masks of red, green, blue and
// alpha, 'sRGB', and zero endpoints and gamma.
Bytes header(std::uint32_t width, std::uint32_t height, bool alpha, std::uint32_t pixelBytes,
             std::uint32_t dpm) {
    const std::uint32_t offset = alpha ? 122 : 54;
    Bytes h{'B', 'M'};
    for (const std::uint32_t v :
         {offset + pixelBytes, 0u, offset, offset - 14, width, height,
          1u | (alpha ? 32u : 24u) << 16, alpha ? 3u : 0u, pixelBytes, dpm, dpm, 0u, 0u}) {
        putLe32(h, v);
    }
    if (alpha) {
        for (const std::uint32_t v :
             {0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u, 0x73524742u}) {
            putLe32(h, v);
        }
        h.resize(122, 0);
    }
    return h;
}

TEST(Bmp, ExactBytesWithPaddedBottomUpRows) {
    // Two rows; pixel x of the top row is (1+3x, 2+3x, 3+3x) with alpha
    // 0x10+x, the bottom row is 0x80 brighter and opaque. Bytes go blue,
    // green, red (alpha), bottom row first, each row padded with zeros to a
    // multiple of four.
    struct Case {
        int width;
        bool keepAlpha;
        std::uint32_t dpm;
        Bytes pixels;
    };
    const Case cases[] = {
        {1, false, 3780, {0x83, 0x82, 0x81, 0, 3, 2, 1, 0}},
        {2, false, 2835, {0x83, 0x82, 0x81, 0x86, 0x85, 0x84, 0, 0, 3, 2, 1, 6, 5, 4, 0, 0}},
        {3, false, 0, {0x83, 0x82, 0x81, 0x86, 0x85, 0x84, 0x89, 0x88, 0x87, 0, 0, 0,
                       3,    2,    1,    6,    5,    4,    9,    8,    7,    0, 0, 0}},
        {4, false, 3780, {0x83, 0x82, 0x81, 0x86, 0x85, 0x84, 0x89, 0x88, 0x87, 0x8C, 0x8B, 0x8A,
                          3,    2,    1,    6,    5,    4,    9,    8,    7,    12,   11,   10}},
        {1, true, 3780, {0x83, 0x82, 0x81, 0xFF, 3, 2, 1, 0x10}},
        {2,
         true,
         5669,
         {0x83, 0x82, 0x81, 0xFF, 0x86, 0x85, 0x84, 0xFF, 3, 2, 1, 0x10, 6, 5, 4, 0x11}},
    };
    for (const Case& c : cases) {
        QImage img(c.width, 2, QImage::Format_ARGB32);
        for (int x = 0; x < c.width; ++x) {
            img.setPixel(x, 0, qRgba(1 + 3 * x, 2 + 3 * x, 3 + 3 * x, 0x10 + x));
            img.setPixel(x, 1, qRgba(0x81 + 3 * x, 0x82 + 3 * x, 0x83 + 3 * x, 255));
        }
        Bytes expected = header(static_cast<std::uint32_t>(c.width), 2, c.keepAlpha,
                                static_cast<std::uint32_t>(c.pixels.size()), c.dpm);
        expected.insert(expected.end(), c.pixels.begin(), c.pixels.end());
        EXPECT_EQ(bytesOf(bmp(img, withAlpha(c.keepAlpha, static_cast<int>(c.dpm)))), expected)
            << c.width << (c.keepAlpha ? " with alpha" : "");
    }
}

TEST(Bmp, WideRowMatchesAPixelByPixelReference) {
    const QImage img = fakes::patternImage(QSize(1921, 7));
    const QByteArray file = bmp(img, withAlpha(false, 3780));
    const int row = 5764; // 1921 * 3 = 5763, padded
    ASSERT_EQ(file.size(), 54 + row * 7);
    EXPECT_EQ(bytesOf(file.left(54)), header(1921, 7, false, row * 7, 3780));
    const auto* p = reinterpret_cast<const std::uint8_t*>(file.constData()) + 54;
    for (int y = 0; y < 7; ++y) {
        const std::uint8_t* line = p + static_cast<std::ptrdiff_t>(6 - y) * row;
        for (int x = 0; x < 1921; ++x) {
            const QRgb c = img.pixel(x, y);
            ASSERT_EQ(
                Bytes(line + std::ptrdiff_t{3} * x, line + std::ptrdiff_t{3} * x + 3),
                (Bytes{static_cast<std::uint8_t>(qBlue(c)), static_cast<std::uint8_t>(qGreen(c)),
                       static_cast<std::uint8_t>(qRed(c))}))
                << x << "," << y;
        }
        EXPECT_EQ(line[row - 1], 0) << "padding of row " << y;
    }
}

// A device that takes at most `perWrite` bytes a call, refuses every write
// once it holds `capacity` bytes, and calls `onWrite` after each write.
class TestDevice : public QIODevice {
public:
    explicit TestDevice(qint64 perWrite = std::numeric_limits<qint64>::max(),
                        qint64 capacity = std::numeric_limits<qint64>::max())
        : m_perWrite(perWrite), m_capacity(capacity) {
        open(QIODevice::WriteOnly);
    }
    QByteArray bytes;
    std::vector<qint64> writes;
    std::function<void()> onWrite;

protected:
    qint64 readData(char* /*data*/, qint64 /*maxSize*/) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override {
        if (bytes.size() >= m_capacity) {
            return -1;
        }
        const qint64 n = std::min({size, m_perWrite, m_capacity - bytes.size()});
        bytes.append(data, n);
        writes.push_back(size);
        if (onWrite) {
            onWrite();
        }
        return n;
    }

private:
    qint64 m_perWrite;
    qint64 m_capacity;
};

// Streamed to a device, the file is the same bytes as in memory: written in
// chunks of about 1 MiB (one row at a time when a row is longer), short
// writes continued.
TEST(Bmp, StreamsTheSameFileInChunks) {
    const struct {
        const char* what;
        QImage picture;
        bool keepAlpha;
        qint64 perWrite;
        int fewestWrites;
    } cases[] = {
        {"a null picture: the header alone", QImage(), false, 1 << 30, 1},
        {"screen sized", fakes::patternImage(QSize(1920, 1080)), false, 1 << 30, 6},
        {"screen sized, alpha kept", translucent(QSize(1920, 1080)), true, 1 << 30, 8},
        {"rows longer than a chunk", translucent(QSize(300000, 3)), true, 1 << 30, 4},
        {"short writes", translucent(QSize(301, 97)), true, 1000, 117},
    };
    for (const auto& c : cases) {
        TestDevice device(c.perWrite);
        EXPECT_EQ(writeBmp(device, c.picture, withAlpha(c.keepAlpha, 3780)), BmpResult::Written)
            << c.what;
        EXPECT_EQ(device.bytes, bmp(c.picture, withAlpha(c.keepAlpha, 3780))) << c.what;
        EXPECT_GE(device.writes.size(), static_cast<std::size_t>(c.fewestWrites)) << c.what;
        const qint64 row = c.keepAlpha ? 4LL * c.picture.width() : 3LL * c.picture.width() + 3;
        EXPECT_LE(*std::max_element(device.writes.begin(), device.writes.end()),
                  std::max<qint64>(qint64{1} << 20, row))
            << c.what;
    }
    EXPECT_EQ(bmp(QImage()).size(), 54);
}

TEST(Bmp, ARefusedWriteOrACancelStopsTheFile) {
    const QImage picture = fakes::patternImage(QSize(1920, 1080)); // 6 chunks
    std::atomic<bool> cancel{false};
    BmpOptions cancellable;
    cancellable.cancel = &cancel;
    const struct {
        const char* what;
        qint64 capacity;
        bool cancelOnFirstWrite;
        BmpResult result;
        qint64 written; // at most
    } cases[] = {
        {"the header refused", 0, false, BmpResult::DeviceFailed, 0},
        {"a chunk refused", 1500000, false, BmpResult::DeviceFailed, 1500000},
        {"cancelled after the header", std::numeric_limits<qint64>::max(), true,
         BmpResult::Cancelled, 54},
    };
    for (const auto& c : cases) {
        cancel = false;
        TestDevice device(std::numeric_limits<qint64>::max(), c.capacity);
        if (c.cancelOnFirstWrite) {
            device.onWrite = [&] { cancel = true; };
        }
        EXPECT_EQ(writeBmp(device, picture, cancellable), c.result) << c.what;
        EXPECT_LE(device.bytes.size(), c.written) << c.what;
    }
}

TEST(Writing, NullOrCancelledGivesNothing) {
    std::atomic<bool> cancel{true};
    BmpOptions cancelled;
    cancelled.cancel = &cancel;
    const QImage picture = fakes::patternImage(QSize(64, 64));
    TestDevice device;
    EXPECT_TRUE(png(QImage()).isEmpty());
    EXPECT_TRUE(png(picture, &cancel).isEmpty());
    EXPECT_TRUE(bmp(picture, cancelled).isEmpty());
    EXPECT_EQ(writeBmp(device, picture, cancelled), BmpResult::Cancelled);
    EXPECT_TRUE(device.bytes.isEmpty());
    cancel = false;
    EXPECT_FALSE(png(picture, &cancel).isEmpty());
    EXPECT_FALSE(bmp(picture, cancelled).isEmpty());
}

// A file past 4 GiB cannot say its size: nothing is written, and no pixel
// is read, so these pictures need no memory of their own. One row of 24
// bits (12 bytes) or 32 bits (16 bytes) more than fits, header included.
TEST(Bmp, AFileTooLargeForItsHeaderIsRefused) {
    static const uchar pixels[16] = {};
    const struct {
        int height;
        QImage::Format format;
        bool keepAlpha;
    } cases[] = {
        {357913937, QImage::Format_RGB32, false}, // 54 + 12 * h = 2^32 + 2
        {268435449, QImage::Format_ARGB32, true}, // 122 + 16 * h = 2^32 + 10
    };
    for (const auto& c : cases) {
        const QImage huge(pixels, 4, c.height, 16, c.format);
        ASSERT_FALSE(huge.isNull());
        TestDevice device;
        EXPECT_EQ(writeBmp(device, huge, withAlpha(c.keepAlpha)), BmpResult::TooLarge) << c.height;
        EXPECT_TRUE(device.bytes.isEmpty());
        EXPECT_TRUE(bmp(huge, withAlpha(c.keepAlpha)).isEmpty());
    }
}

TEST(Bmp, DotsPerMeterOfAScreen) {
    const struct {
        float twipsPerPixel;
        int dpm;
    } cases[] = {
        {15, 3780}, // 96 dpi
        {20, 2835}, // 72 dpi
        {10, 5669}, // 144 dpi
        {12, 4724}, // 120 dpi
        {0, 3780},  {-1, 3780}, {std::nanf(""), 3780},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(dotsPerMeter(c.twipsPerPixel), c.dpm) << c.twipsPerPixel;
    }
}

} // namespace
} // namespace zs::formats
