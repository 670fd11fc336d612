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

bool complete(const QByteArray& b) {
    return jpegComplete(reinterpret_cast<const unsigned char*>(b.constData()), b.size());
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return path;
}

// Replaces the width and height in the frame header of a baseline JPEG.
QByteArray withFrameSize(QByteArray jpeg, int width, int height) {
    const qsizetype sof = jpeg.indexOf(QByteArray("\xFF\xC0", 2));
    EXPECT_GT(sof, 0);
    jpeg[sof + 5] = static_cast<char>(height >> 8);
    jpeg[sof + 6] = static_cast<char>(height);
    jpeg[sof + 7] = static_cast<char>(width >> 8);
    jpeg[sof + 8] = static_cast<char>(width);
    return jpeg;
}

QByteArray withBmpSize(QByteArray bmp, int width, int height) {
    for (int i = 0; i < 4; ++i) {
        bmp[18 + i] = static_cast<char>(width >> (8 * i));
        bmp[22 + i] = static_cast<char>(height >> (8 * i));
    }
    return bmp;
}

TEST(JpegComplete, OnlyAFileThatReachesItsEndMarkerIsComplete) {
    const QImage img = fakes::patternImage(QSize(64, 48));
    for (const bool progressive : {false, true}) {
        SCOPED_TRACE(progressive ? "progressive" : "baseline");
        const QByteArray full = jpegBytes(img, progressive);
        const qsizetype sos = full.indexOf(QByteArray("\xFF\xDA", 2));
        ASSERT_GT(sos, 0);
        EXPECT_TRUE(complete(full));
        EXPECT_TRUE(complete(full + QByteArray("trailing data")));
        for (const qsizetype cut : {qsizetype{1}, qsizetype{3}, sos / 2, sos + 1, sos + 20,
                                    (sos + full.size()) / 2, full.size() - 2, full.size() - 1}) {
            EXPECT_FALSE(complete(full.left(cut))) << "cut at " << cut << " of " << full.size();
        }
    }
    EXPECT_FALSE(complete(QByteArray("not a jpeg at all")));
}

TEST(JpegComplete, EndMarkerBytesInsideASegmentDoNotCount) {
    const QByteArray full = jpegBytes(fakes::patternImage(QSize(32, 32)));
    // A comment segment right after the start marker that holds FF D9.
    const QByteArray comment("\xFF\xFE\x00\x08xx\xFF\xD9yy", 10);
    const QByteArray withComment = full.left(2) + comment + full.mid(2);
    EXPECT_TRUE(complete(withComment));
    EXPECT_FALSE(complete(withComment.left(withComment.size() - 40)));
}

TEST(BmpComplete, CountsThePixelRowsTheHeaderAnnounces) {
    const QByteArray full = encodeBmp(fakes::patternImage(QSize(5, 4)), 3780);
    const auto ok = [](const QByteArray& b) {
        return bmpComplete(reinterpret_cast<const unsigned char*>(b.constData()), b.size());
    };
    EXPECT_TRUE(ok(full));
    EXPECT_TRUE(ok(full + "extra"));
    EXPECT_FALSE(ok(full.left(full.size() - 1)));
    EXPECT_FALSE(ok(full.left(54)));
    EXPECT_FALSE(ok(full.left(20)));
    QByteArray topDown = full;
    topDown = withBmpSize(topDown, 5, -4);
    EXPECT_TRUE(ok(topDown));
    EXPECT_FALSE(ok(topDown.left(topDown.size() - 16)));
    QByteArray rle = full.left(54);
    rle[30] = 1; // BI_RLE8: the data's length is not known from the header
    EXPECT_TRUE(ok(rle));
}

TEST(LoadPictureFile, ReadsAnyFormatByContentWhateverTheName) {
    QTemporaryDir dir;
    const QImage img = fakes::patternImage(QSize(123, 45));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    img.save(&buffer, "PNG");

    const QImage jpeg = loadPictureFile(writeFile(dir, "photo.JPG", jpegBytes(img)));
    EXPECT_EQ(jpeg.size(), img.size());
    EXPECT_EQ(
        loadPictureFile(writeFile(dir, "picture.data", png)).convertToFormat(QImage::Format_RGB32),
        img);
    EXPECT_EQ(loadPictureFile(writeFile(dir, "saved.bmp", encodeBmp(img, 3780)))
                  .convertToFormat(QImage::Format_RGB32),
              img);
    EXPECT_TRUE(loadPictureFile("").isNull()); // no file name: the empty picture
}

TEST(LoadPictureFile, RefusesBadFilesWithAMessageNamingTheProblem) {
    QTemporaryDir dir;
    const QByteArray jpeg = jpegBytes(fakes::patternImage(QSize(200, 100)));
    const QByteArray bmp = encodeBmp(fakes::patternImage(QSize(200, 100)), 3780);
    struct Case {
        QString path;
        Error::Code code;
        QString words;
    };
    const std::vector<Case> cases = {
        {dir.filePath("missing.jpg"), Error::Code::File, "No such file or directory"},
        {dir.path(), Error::Code::File, "directory"},
        {writeFile(dir, "notes.jpg", "just some text\n"), Error::Code::File, "not a picture"},
        {writeFile(dir, "empty.jpg", ""), Error::Code::File, "not a picture"},
        {writeFile(dir, "cut.jpg", jpeg.left(jpeg.size() * 2 / 3)), Error::Code::File,
         "incomplete"},
        {writeFile(dir, "cut.bmp", bmp.left(bmp.size() - 600)), Error::Code::File, "incomplete"},
        {writeFile(dir, "huge.jpg", withFrameSize(jpeg, 65000, 65000)), Error::Code::OutOfMemory,
         "65000 x 65000"},
        {writeFile(dir, "huge.bmp", withBmpSize(bmp, 15000, 15000)), Error::Code::OutOfMemory,
         "15000 x 15000"},
        {writeFile(dir, "wide.bmp", withBmpSize(bmp, 70000, 1)), Error::Code::OutOfMemory,
         "70000 x 1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        try {
            loadPictureFile(c.path);
            ADD_FAILURE() << "loaded";
        } catch (const Error& e) {
            EXPECT_EQ(e.code(), c.code) << e.what();
            const QString what = QString::fromStdString(e.what());
            EXPECT_TRUE(what.contains(c.path)) << e.what();
            EXPECT_TRUE(what.contains(c.words, Qt::CaseInsensitive)) << e.what();
        }
    }
}

TEST(PictureSizeAllowed, HundredMegapixelsFitAndTheLimitsHold) {
    struct Case {
        QSize size;
        bool allowed;
    };
    for (const Case c :
         {Case{{12240, 8160}, true}, Case{{10000, 10000}, true}, Case{{11585, 11585}, true},
          Case{{11586, 11586}, false}, Case{{65535, 2048}, true}, Case{{65536, 1}, false},
          Case{{65000, 65000}, false}, Case{{0, 0}, true}}) {
        EXPECT_EQ(pictureSizeAllowed(c.size), c.allowed)
            << c.size.width() << "x" << c.size.height();
    }
}

TEST(LoadPictureFile, LoadsAHundredMegapixelColourPicture) {
    QTemporaryDir dir;
    QImage big(10000, 10000, QImage::Format_RGB32);
    big.fill(qRgb(30, 60, 90));
    {
        QPainter p(&big);
        p.fillRect(QRect(0, 0, 5000, 5000), QColor(200, 10, 10));
    }
    const QString path = writeFile(dir, "big.jpg", jpegBytes(big, false, 50));
    big = QImage();
    const QImage loaded = loadPictureFile(path);
    ASSERT_EQ(loaded.size(), QSize(10000, 10000));
    EXPECT_GT(qRed(loaded.pixel(100, 100)), 180);
    EXPECT_LT(qRed(loaded.pixel(9000, 9000)), 50);
}

} // namespace
} // namespace zs::files
