#include "picture_file.h"

#include "bmp.h"
#include "fakes.h"

#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

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
