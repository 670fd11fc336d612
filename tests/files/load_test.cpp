#include "tests/support/window_fixture.h"

#include "formats/bmp.h"

#include <QBuffer>

#include <algorithm>
#include <vector>

#include <sys/stat.h>

namespace zs::test {
namespace {

class LoadTest : public WindowTest {
protected:
    QString writePicture(const QString& name, const QImage& img, const char* format = "PNG") {
        QString file = path(name);
        EXPECT_TRUE(img.save(file, format));
        return file;
    }

    void load(const QString& file) {
        fake.dialogs.answers = {file};
        f.Command9.click();
    }

    // The log from the open dialog on.
    std::vector<std::string> logSinceDialog() const {
        auto it = std::find(fake.log.begin(), fake.log.end(), "open dialog");
        return {it, fake.log.end()};
    }
};

TEST_F(LoadTest, CancelShowsTheHourglassBrieflyAndChangesNothing) {
    const QSizeF before(f.FormScreenCapture.width(), f.FormScreenCapture.height());
    const int hmax = f.HScroll1.max();
    f.Command9.click();
    ASSERT_EQ(fake.dialogs.requests.size(), 1u);
    const FileDialogRequest& r = fake.dialogs.requests[0];
    EXPECT_EQ(r.title, "Profil picture");
    EXPECT_EQ(r.filterName, "Images");
    EXPECT_EQ(r.patterns, (QStringList{"*.JPG", "*.JPEG"}));
    EXPECT_TRUE(r.initialDir.isEmpty());
    EXPECT_TRUE(r.proposedName.isEmpty());
    EXPECT_EQ(logSinceDialog(),
              (std::vector<std::string>{"open dialog", "pointer busy", "pointer default"}));
    EXPECT_EQ(QSizeF(f.FormScreenCapture.width(), f.FormScreenCapture.height()), before);
    EXPECT_TRUE(f.FormScreenCapture.picture().isNull());
    EXPECT_EQ(f.HScroll1.max(), hmax);
}

TEST_F(LoadTest, SurfaceAndScrollRangesFollowThePicturesSize) {
    const float vw = f.Picture1.width();
    const float vh = f.Picture1.height();
    ASSERT_EQ(vw, 15200); // the viewport's design size: 1013 x 673 pixels
    ASSERT_EQ(vh, 10090);
    struct Case {
        const char* what;
        QSize px;
        float width, height;
        int hmax, vmax;
    };
    const std::vector<Case> cases = {
        {"smaller", {100, 80}, vw, vh, 0, 0},
        {"wider", {1500, 100}, 22500, vh, 7300, 0},
        {"larger", {2000, 1500}, 30000, 22500, 14800, 12410},
        {"beyond 32767 twips", {4000, 3000}, 60000, 45000, 32767, 32767},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QImage picture = fakes::patternImage(c.px);
        load(writePicture(QString(c.what) + ".png", picture));
        EXPECT_EQ(f.Image3.width(), c.px.width() * 15.0f);
        EXPECT_EQ(f.Image3.height(), c.px.height() * 15.0f);
        EXPECT_EQ(f.FormScreenCapture.width(), c.width);
        EXPECT_EQ(f.FormScreenCapture.height(), c.height);
        EXPECT_EQ(f.FormScreenCapture.picture(), picture);
        EXPECT_TRUE(f.FormScreenCapture.visible());
        EXPECT_EQ(f.HScroll1.max(), c.hmax);
        EXPECT_EQ(f.VScroll1.max(), c.vmax);
        EXPECT_FALSE(fake.pointer.busy);
    }
    EXPECT_TRUE(fake.messages.errors.empty());
}

TEST_F(LoadTest, ASmallPictureSitsTopLeftOnTheBackground) {
    QImage picture = fakes::patternImage(QSize(50, 40)).convertToFormat(QImage::Format_ARGB32);
    picture.setPixel(3, 4, qRgba(255, 255, 255, 0)); // transparent
    load(writePicture("small.png", picture));
    const QRgb back = toQColor(f.FormScreenCapture.backColor()).rgb();
    const QImage shown = f.FormScreenCapture.image();
    EXPECT_EQ(shown.pixel(0, 0), picture.pixel(0, 0));
    EXPECT_EQ(shown.pixel(49, 39), picture.pixel(49, 39));
    EXPECT_EQ(shown.pixel(3, 4), back);
    EXPECT_EQ(shown.pixel(50, 0), back);
    EXPECT_EQ(shown.pixel(0, 40), back);
}

TEST_F(LoadTest, ScrollValuesFollowTheNewRangeAndCropsTheNewPicture) {
    showAndCrop(surface, QRect(10, 10, 40, 30));
    load(writePicture("large.png", fakes::patternImage(QSize(3000, 2000))));
    f.HScroll1.setValue(10000);
    const QImage picture = fakes::patternImage(QSize(1500, 100)).mirrored(true, false);
    load(writePicture("wide.png", picture));
    EXPECT_EQ(f.HScroll1.value(), 7300); // the new maximum
    EXPECT_EQ(f.FormScreenCapture.left(), -7300);
    EXPECT_EQ(f.Picture2.image(), surface.copy(10, 10, 40, 30)); // untouched by the load
    f.Command1_Click(app::command1::kSaveCrop);
    EXPECT_EQ(f.Picture2.image(), picture.copy(10, 10, 40, 30));
}

TEST_F(LoadTest, ABadFileIsShownAndNothingElseChanges) {
    const QImage first = fakes::patternImage(QSize(1200, 900));
    load(writePicture("first.jpg", first, "JPEG"));
    const QImage shownBefore = f.FormScreenCapture.picture();
    const float width = f.FormScreenCapture.width();
    const int hmax = f.HScroll1.max();

    QByteArray jpeg = readBytes(path("first.jpg"));
    const qsizetype sof = jpeg.indexOf(QByteArray("\xFF\xC0", 2));
    ASSERT_GT(sof, 0);
    QByteArray huge = jpeg;
    huge.replace(sof + 5, 4, QByteArray("\xFD\xE8\xFD\xE8", 4)); // 65000 x 65000
    const QByteArray bmp = formats::bmp(fakes::patternImage(QSize(200, 100)));
    const auto bmpSized = [&](int width, int height) {
        QByteArray b = bmp;
        for (int i = 0; i < 4; ++i) {
            b[18 + i] = static_cast<char>(width >> (8 * i));
            b[22 + i] = static_cast<char>(height >> (8 * i));
        }
        return b;
    };
    const auto write = [&](const QString& name, const QByteArray& bytes) {
        QFile file(path(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path(name);
    };
    struct Case {
        QString file;
        QString words;
    };
    const std::vector<Case> cases = {
        {path("missing.jpg"), "No such file or directory"},
        {dir.path(), "directory"},
        {write("text.jpg", "hello\n"), "not a picture"},
        {write("cut.jpg", jpeg.left(jpeg.size() / 2)), "incomplete"},
        {write("huge.jpg", huge), "65000 x 65000"},
        {write("cut.bmp", bmp.left(bmp.size() - 600)), "incomplete"},
        {write("huge.bmp", bmpSized(15000, 15000)), "15000 x 15000"}, // 225 megapixels
        {write("wide.bmp", bmpSized(70000, 1)), "70000 x 1"},         // too wide
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        fake.messages.errors.clear();
        load(c.file);
        ASSERT_EQ(fake.messages.errors.size(), 1u);
        EXPECT_TRUE(fake.messages.errors[0].contains(c.file));
        EXPECT_TRUE(fake.messages.errors[0].contains(c.words))
            << fake.messages.errors[0].toStdString();
        EXPECT_EQ(f.FormScreenCapture.picture(), shownBefore);
        EXPECT_EQ(f.Image3.width(), 1200 * 15.0f);
        EXPECT_EQ(f.FormScreenCapture.width(), width);
        EXPECT_EQ(f.HScroll1.max(), hmax);
        EXPECT_FALSE(fake.pointer.busy);
        EXPECT_FALSE(fake.application.quit);
    }
}

TEST_F(LoadTest, TheMessageOfAFailedLoadShowsWithTheDefaultPointer) {
    const QString pipe = path("pipe.jpg");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    for (const QString& file : {pipe, path("missing.jpg")}) {
        fake.log.clear();
        fake.messages.errors.clear();
        load(file);
        EXPECT_EQ(logSinceDialog(), (std::vector<std::string>{"open dialog", "pointer busy",
                                                              "pointer default", "message"}));
        ASSERT_EQ(fake.messages.errors.size(), 1u);
        EXPECT_TRUE(fake.messages.errors[0].contains(file));
        EXPECT_FALSE(fake.application.quit);
    }
    EXPECT_TRUE(fake.messages.errors[0].contains("No such file"));
}

TEST_F(LoadTest, APictureInAnyFormatIsHeldOnceAsTheSurfacesPicture) {
    const QImage pattern = fakes::patternImage(QSize(300, 200));
    const struct {
        const char* what;
        QImage::Format format;
    } cases[] = {
        {"16-bit", QImage::Format_RGBX64},     {"grey", QImage::Format_Grayscale8},
        {"indexed", QImage::Format_Indexed8},  {"24-bit", QImage::Format_RGB888},
        {"with alpha", QImage::Format_ARGB32},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const QImage picture = pattern.convertToFormat(c.format);
        load(writePicture(QString(c.what) + ".png", picture));
        const QImage& kept = f.Image3.picture();
        ASSERT_FALSE(kept.isNull());
        EXPECT_EQ(kept.format(), QImage::Format_RGB32);
        // One set of pixels, shared by the hidden image and the surface.
        EXPECT_EQ(kept.cacheKey(), f.FormScreenCapture.picture().cacheKey());
        EXPECT_EQ(kept.constBits(), f.FormScreenCapture.picture().constBits());
        EXPECT_EQ(kept.pixel(17, 9), picture.convertToFormat(QImage::Format_RGB32).pixel(17, 9));
    }
}

TEST_F(LoadTest, APhotoTakenSidewaysLoadsUprightAtItsUprightSize) {
    // Orientation 6: the stored 60 x 30 pixels are seen turned a quarter
    // clockwise, 30 x 60. ImageMagick and cameras write it the same way.
    QImage stored(60, 30, QImage::Format_RGB32);
    stored.fill(Qt::blue);
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 10; ++x) {
            stored.setPixel(x, y, qRgb(255, 0, 0));
        }
    }
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(stored.save(&buffer, "JPEG", 95));
    const QByteArray exif = QByteArray("\xFF\xE1\x00\x22"
                                       "Exif\x00\x00"
                                       "MM\x00\x2A\x00\x00\x00\x08"
                                       "\x00\x01"
                                       "\x01\x12\x00\x03\x00\x00\x00\x01\x00\x06\x00\x00"
                                       "\x00\x00\x00\x00",
                                       36);
    QFile file(path("photo.jpg"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(jpeg.left(2) + exif + jpeg.mid(2));
    file.close();
    load(file.fileName());
    EXPECT_TRUE(fake.messages.errors.empty());
    EXPECT_EQ(f.Image3.width(), 30 * 15.0F);
    EXPECT_EQ(f.Image3.height(), 60 * 15.0F);
    const QImage shown = f.FormScreenCapture.picture();
    ASSERT_EQ(shown.size(), QSize(30, 60));
    EXPECT_GT(qRed(shown.pixel(27, 2)), 200); // the stored top-left, now top-right
    EXPECT_GT(qBlue(shown.pixel(2, 2)), 200);
}

} // namespace
} // namespace zs::test
