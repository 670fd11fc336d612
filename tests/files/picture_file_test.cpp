#include "files/picture_file.h"

#include "formats/bmp.h"
#include "services/errors.h"
#include "services/fakes/fakes.h"

#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

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
    const QByteArray bmp = formats::bmp(fakes::patternImage(QSize(5, 4)));
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
    const QByteArray bmp = formats::bmp(img);
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

// A JPEG whose EXIF block gives `orientation` (1 to 8), placed right after
// the start-of-image marker as cameras write it.
QByteArray withOrientation(const QByteArray& jpeg, int orientation) {
    const QByteArray tiff = QByteArray("MM\x00\x2A\x00\x00\x00\x08", 8) // big-endian, IFD at 8
                            + QByteArray("\x00\x01", 2)                 // one entry
                            +
                            QByteArray("\x01\x12\x00\x03\x00\x00\x00\x01", 8) // Orientation, SHORT
                            + QByteArray(1, '\0') + QByteArray(1, static_cast<char>(orientation)) +
                            QByteArray(2, '\0')                  // the value, padded
                            + QByteArray("\x00\x00\x00\x00", 4); // no next IFD
    const QByteArray payload = QByteArray("Exif\x00\x00", 6) + tiff;
    const int length = static_cast<int>(payload.size()) + 2;
    const QByteArray app1 = QByteArray("\xFF\xE1", 2) + static_cast<char>(length >> 8) +
                            static_cast<char>(length & 0xFF) + payload;
    return jpeg.left(2) + app1 + jpeg.mid(2);
}

TEST(DecodePicture, TurnsPhotosUprightAsTheirOrientationSays) {
    // Stored 40 x 20, red in the stored top-left corner, blue elsewhere.
    QImage stored(40, 20, QImage::Format_RGB32);
    stored.fill(Qt::blue);
    QPainter(&stored).fillRect(QRect(0, 0, 10, 10), Qt::red);
    const QByteArray jpeg = jpegBytes(stored, false, 95);
    const struct {
        int orientation;
        QSize upright;
        QPoint red; // where the stored top-left corner is seen
    } cases[] = {
        {1, {40, 20}, {2, 2}},   // as stored
        {3, {40, 20}, {37, 17}}, // turned half round
        {6, {20, 40}, {17, 2}},  // turned a quarter clockwise: the usual phone photo
        {8, {20, 40}, {2, 37}},  // a quarter anticlockwise
    };
    for (const auto& c : cases) {
        const QImage img = decodePicture(withOrientation(jpeg, c.orientation), "photo.jpg");
        ASSERT_EQ(img.size(), c.upright) << c.orientation;
        EXPECT_GT(qRed(img.pixel(c.red)), 200) << c.orientation;
        EXPECT_LT(qBlue(img.pixel(c.red)), 60) << c.orientation;
        const QPoint centre(c.upright.width() / 2, c.upright.height() / 2);
        EXPECT_GT(qBlue(img.pixel(centre)), 200) << c.orientation;
    }
}

TEST(LoadPictureFile, AFileThatShrinksWhileLoadingGivesAPictureOrAnError) {
    // The file is cut short and written again as fast as possible while it
    // is loaded: every load ends with a picture or an error, never a fault.
    QTemporaryDir dir;
    QImage img(1600, 1200, QImage::Format_RGB32);
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            img.setPixel(x, y, qRgb((x * 7) & 255, (y * 13) & 255, ((x ^ y) * 3) & 255));
        }
    }
    const QByteArray full = jpegBytes(img, false, 95);
    const QString path = dir.filePath("changing.jpg");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(full);
    }
    std::atomic<bool> stop = false;
    std::thread writer([&] {
        const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY);
        while (!stop) {
            (void)::ftruncate(fd, 100);
            (void)::pwrite(fd, full.constData(), static_cast<std::size_t>(full.size()), 0);
        }
        ::close(fd);
    });
    for (int i = 0; i < 40; ++i) {
        try {
            EXPECT_EQ(loadPictureFile(path).size(), img.size());
        } catch (const Error& e) {
            EXPECT_EQ(e.code(), Error::Code::File) << e.what();
        }
    }
    stop = true;
    writer.join();
}

} // namespace
} // namespace zs::files
