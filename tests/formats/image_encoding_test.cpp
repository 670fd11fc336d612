#include "formats/image_encoding.h"
#include "services/fakes/fakes.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>

namespace zs {
namespace {

// The pixels as 0xAARRGGBB words, the way both encoders read them.
QImage straight(const QImage& image) {
    return image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32
                                                         : QImage::Format_RGB32);
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

struct Case {
    std::string what;
    std::function<QImage()> make;
};

class Encoders : public testing::TestWithParam<Case> {};

// Whatever the size, row padding, format or alpha, both files read back as
// exactly the picture that went in.
TEST_P(Encoders, ReadBackPixelForPixel) {
    const QImage source = GetParam().make();
    ASSERT_FALSE(source.isNull());
    const QImage want = straight(source);
    for (const char* format : {"PNG", "BMP"}) {
        const QByteArray file =
            std::string(format) == "PNG" ? encoding::png(source) : encoding::bmp(source);
        ASSERT_FALSE(file.isEmpty()) << format;
        const QImage got = QImage::fromData(file, format);
        ASSERT_FALSE(got.isNull()) << format << " did not decode";
        EXPECT_EQ(got.size(), want.size()) << format;
        EXPECT_EQ(straight(got), want) << format << " differs";
    }
}

const QImage kBig = fakes::patternImage(QSize(301, 97));

INSTANTIATE_TEST_SUITE_P(
    Pictures, Encoders,
    testing::Values(Case{"OnePixel", [] { return fakes::patternImage(QSize(1, 1)); }},
                    // 3 bytes a pixel: widths 1, 2, 3 and 5 need 3, 2, 3 and 1 padding
                    // bytes a BMP row.
                    Case{"Width2", [] { return fakes::patternImage(QSize(2, 9)); }},
                    Case{"Width3", [] { return fakes::patternImage(QSize(3, 9)); }},
                    Case{"Width5", [] { return fakes::patternImage(QSize(5, 9)); }},
                    Case{"Tall", [] { return fakes::patternImage(QSize(4, 3000)); }},
                    // Wider than one block of rows handed to the compressor at a time.
                    Case{"Wide", [] { return fakes::patternImage(QSize(100000, 2)); }},
                    Case{"ScreenSized", [] { return fakes::patternImage(QSize(1920, 1080)); }},
                    Case{"Flat",
                         [] {
                             QImage image(640, 480, QImage::Format_RGB32);
                             image.fill(qRgb(12, 34, 56));
                             return image;
                         }},
                    Case{"Translucent", [] { return translucent(QSize(33, 17)); }},
                    Case{"Premultiplied",
                         [] {
                             return translucent(QSize(20, 20))
                                 .convertToFormat(QImage::Format_ARGB32_Premultiplied);
                         }},
                    Case{"Rgb888", [] { return kBig.convertToFormat(QImage::Format_RGB888); }},
                    Case{"RegionView", [] { return regionView(kBig, QRect(17, 5, 123, 61)); }}),
    [](const testing::TestParamInfo<Case>& info) { return info.param.what; });

TEST(Encoding, NullOrCancelledGivesNothing) {
    std::atomic<bool> cancel{true};
    const QImage picture = fakes::patternImage(QSize(64, 64));
    EXPECT_TRUE(encoding::png(QImage()).isEmpty());
    EXPECT_TRUE(encoding::bmp(QImage()).isEmpty());
    EXPECT_TRUE(encoding::png(picture, &cancel).isEmpty());
    EXPECT_TRUE(encoding::bmp(picture, &cancel).isEmpty());
    cancel = false;
    EXPECT_FALSE(encoding::png(picture, &cancel).isEmpty());
}

// The BMP header as other programs read it: 24-bit rows bottom-up for an
// opaque picture, the file size and pixel offset right.
TEST(Encoding, BmpHeaderOfAnOpaquePicture) {
    QImage image(3, 2, QImage::Format_RGB32);
    image.fill(qRgb(1, 2, 3));
    image.setPixel(0, 0, qRgb(200, 100, 50)); // top-left: last row in the file
    const QByteArray file = encoding::bmp(image);
    auto u32 = [&](int at) {
        return quint32(quint8(file[at])) | quint32(quint8(file[at + 1])) << 8 |
               quint32(quint8(file[at + 2])) << 16 | quint32(quint8(file[at + 3])) << 24;
    };
    ASSERT_EQ(file.size(), 54 + 2 * 12); // two rows of 9 bytes padded to 12
    EXPECT_EQ(file.left(2), QByteArray("BM"));
    EXPECT_EQ(u32(2), quint32(file.size()));
    EXPECT_EQ(u32(10), 54u);
    EXPECT_EQ(u32(18), 3u);
    EXPECT_EQ(u32(22), 2u); // positive: bottom-up
    EXPECT_EQ(quint8(file[28]), 24);
    // The second row of the file is the picture's first: blue, green, red.
    EXPECT_EQ(quint8(file[54 + 12]), 50);
    EXPECT_EQ(quint8(file[54 + 13]), 100);
    EXPECT_EQ(quint8(file[54 + 14]), 200);
}

} // namespace
} // namespace zs
