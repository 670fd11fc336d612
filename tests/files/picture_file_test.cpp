#include "picture_file.h"

#include "bmp.h"
#include "errors.h"
#include "fakes.h"

#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

namespace zs::files {
namespace {

QByteArray jpegBytes(const QImage& img, bool progressive = false, int quality = 90) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(quality);
    writer.setProgressiveScanWrite(progressive);
    EXPECT_TRUE(writer.write(img));
    return bytes;
}

const auto* bytesOf(const QByteArray& b) {
    return reinterpret_cast<const unsigned char*>(b.data());
}

TEST(EndOfFileChecks, OnlyFilesThatRunToTheirEndAreComplete) {
    const QImage img = fakes::patternImage(QSize(64, 48));
    for (const bool progressive : {false, true}) { // one scan, or many
        const QByteArray full = jpegBytes(img, progressive);
        const qsizetype sos = full.indexOf(QByteArray("\xFF\xDA", 2));
        EXPECT_TRUE(jpegComplete(bytesOf(full), full.size()));
        const QByteArray trailing = full + "trailing data";
        EXPECT_TRUE(jpegComplete(bytesOf(trailing), trailing.size()));
        for (const qsizetype cut :
             {qsizetype{3}, sos / 2, sos + 20, (sos + full.size()) / 2, full.size() - 1}) {
            EXPECT_FALSE(jpegComplete(bytesOf(full), cut)) << cut << " of " << full.size();
        }
        // FF D9 inside a comment segment before the scan is not the end.
        const QByteArray commented =
            full.left(2) + QByteArray("\xFF\xFE\x00\x06\xFF\xD9", 6) + full.mid(2, sos + 10);
        EXPECT_FALSE(jpegComplete(bytesOf(commented), commented.size()));
    }
    const QByteArray bmp = encodeBmp(fakes::patternImage(QSize(5, 4)), 3780);
    EXPECT_TRUE(bmpComplete(bytesOf(bmp), bmp.size()));
    EXPECT_FALSE(bmpComplete(bytesOf(bmp), bmp.size() - 1));
    QByteArray rle = bmp.left(54);
    rle[30] = 1; // BI_RLE8: its length is not known from the header
    EXPECT_TRUE(bmpComplete(bytesOf(rle), rle.size()));
}

// A BITMAPINFOHEADER BMP header with the given fields and `extra` bytes after it.
QByteArray bmpHeader(std::int32_t width, std::int32_t height, std::uint16_t bits,
                     std::uint32_t offBits, int extra) {
    QByteArray b(54 + extra, '\0');
    auto put = [&b](int at, std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            b[at + i] = static_cast<char>(v >> (8 * i));
        }
    };
    b[0] = 'B';
    b[1] = 'M';
    put(10, offBits, 4);
    put(14, 40, 4);
    put(18, static_cast<std::uint32_t>(width), 4);
    put(22, static_cast<std::uint32_t>(height), 4);
    put(26, 1, 2);
    put(28, bits, 2);
    return b;
}

TEST(EndOfFileChecks, MadeUpBmpHeadersAreJudgedWithoutOverflow) {
    struct Case {
        const char* what;
        std::int32_t width, height;
        std::uint16_t bits;
        std::uint32_t offBits;
        int extra;
        bool complete;
    };
    const Case cases[] = {
        {"largest rows, most rows", 0x7FFFFFFF, INT32_MIN, 0xFFFF, 54, 100, false},
        {"largest rows, bottom-up", 0x7FFFFFFF, 0x7FFFFFFF, 32, 54, 0, false},
        {"one row of 2^44 bytes", 0x7FFFFFFF, 1, 0xFFFF, 54, 4096, false},
        {"no pixels", 0, 1000000, 24, 54, 0, true},
        {"no bits", 1000, 1000, 0, 54, 0, true},
        {"pixels start past the end", 1, 1, 24, 1000, 10, false},
        {"2 x 2 at 24 bits: 16 bytes", 2, 2, 24, 54, 16, true},
        {"2 x 2 at 24 bits: 15 bytes", 2, -2, 24, 54, 15, false},
        {"negative width", -1, 1, 24, 54, 100, false},
    };
    for (const Case& c : cases) {
        const QByteArray b = bmpHeader(c.width, c.height, c.bits, c.offBits, c.extra);
        EXPECT_EQ(bmpComplete(bytesOf(b), b.size()), c.complete) << c.what;
    }
}

TEST(GifCanvasSize, ReadsTheLogicalScreenOfGifHeadersOnly) {
    const struct {
        QByteArray bytes;
        QSize size;
    } cases[] = {
        {QByteArray("GIF89a\x01\x02\x00\xb5", 10), QSize(513, 46336)},
        {QByteArray("GIF87a\xff\xff\xff\xff", 10), QSize(65535, 65535)},
        {QByteArray("GIF89a\x01\x02\x00", 9), QSize()},
        {QByteArray("GIF9xa\x01\x02\x00\xb5", 10), QSize()},
        {QByteArray(), QSize()},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(gifCanvasSize(bytesOf(c.bytes), c.bytes.size()), c.size)
            << c.bytes.toHex().data();
    }
}

TEST(DecodePicture, RefusesDamagedOversizedAndForeignBytesWithTheRightError) {
    const QImage img = fakes::patternImage(QSize(40, 30));
    const QByteArray jpeg = jpegBytes(img);
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        ASSERT_TRUE(img.save(&buffer, "png"));
    }
    const QByteArray bmp = encodeBmp(img, 3780);
    for (const QByteArray& good : {jpeg, png, bmp}) {
        EXPECT_EQ(decodePicture(good, QStringLiteral("good")).size(), QSize(40, 30));
    }

    struct Case {
        const char* what;
        QByteArray bytes;
        Error::Code code;
        const char* says;
    };
    const Case cases[] = {
        {"empty", QByteArray(), Error::Code::File, "not a picture"},
        {"text", QByteArray("hello, picture"), Error::Code::File, "not a picture"},
        {"JPEG cut short", jpeg.left(jpeg.size() - 40), Error::Code::File, "incomplete"},
        {"BMP cut short", bmp.left(bmp.size() - 1), Error::Code::File, "incomplete"},
        {"BMP 70000 pixels wide", bmpHeader(70000, 1, 24, 54, 210000), Error::Code::OutOfMemory,
         "70000 x 1"},
        {"BMP of 2^27 + 1 pixels", bmpHeader(8193, 16384, 1, 54, 16), Error::Code::OutOfMemory,
         "8193 x 16384"},
        // 23 bytes whose first frame is small but whose canvas is not: the
        // reader would spend seconds drawing on it.
        {"GIF canvas of 3072 x 46591",
         QByteArray("GIF89a\x00\x0c\xff\xb5\x34\x00\x00\x2c\x35\x35\x00\x10\x01\x02\x00\x00\x3b",
                    23),
         Error::Code::OutOfMemory, "3072 x 46591"},
        // An empty canvas: the reader then reports the frame's size.
        {"GIF frame of 13877 x 10498 on an empty canvas",
         QByteArray("\x47\x49\x46\x38\x39\x61\x00\x00\x01\x10\xf0\x21\xf9\x04\x00\x00\x34\x00\x00"
                    "\x2c\x35\x35\x02\x29\x00\x01\x00\x00\x02\x01\x00\x3b",
                    32),
         Error::Code::OutOfMemory, "13877 x 10498"},
    };
    for (const Case& c : cases) {
        try {
            decodePicture(c.bytes, QStringLiteral("in.file"));
            ADD_FAILURE() << c.what << ": decoded";
        } catch (const Error& e) {
            EXPECT_EQ(e.code(), c.code) << c.what;
            EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos)
                << c.what << ": " << e.what();
            EXPECT_NE(std::string(e.what()).find("in.file"), std::string::npos) << c.what;
        }
    }
}

TEST(LoadPictureFile, LoadsAHundredMegapixelColourPicture) {
    QTemporaryDir dir;
    QImage big(10000, 10000, QImage::Format_RGB32);
    big.fill(qRgb(30, 60, 90));
    QPainter(&big).fillRect(QRect(0, 0, 5000, 5000), QColor(200, 10, 10));
    QFile f(dir.filePath("big.jpg"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(jpegBytes(big, false, 50));
    f.close();
    big = QImage();
    const QImage loaded = loadPictureFile(f.fileName());
    ASSERT_EQ(loaded.size(), QSize(10000, 10000));
    EXPECT_GT(qRed(loaded.pixel(100, 100)), 180);
    EXPECT_LT(qRed(loaded.pixel(9000, 9000)), 50);
}

} // namespace
} // namespace zs::files
