#include "bmp.h"

#include "errors.h"
#include "fakes.h"

#include <QBuffer>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <vector>

#include <sys/resource.h>

namespace zs::files {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes bytesOf(const QByteArray& a) {
    return Bytes(a.begin(), a.end());
}

std::uint32_t le32(const QByteArray& a, int at) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(a.constData()) + at;
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// The 54 header bytes of a 24-bit bottom-up bitmap at 96 dpi.
Bytes header(std::uint32_t width, std::uint32_t height, std::uint32_t pixelBytes) {
    Bytes h;
    const auto put = [&h](std::uint32_t v, int n) {
        for (int i = 0; i < n; ++i) {
            h.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
        }
    };
    h.push_back('B');
    h.push_back('M');
    put(54 + pixelBytes, 4);
    put(0, 4);
    put(54, 4);
    put(40, 4);
    put(width, 4);
    put(height, 4);
    put(1, 2);
    put(24, 2);
    put(0, 4);
    put(pixelBytes, 4);
    put(3780, 4);
    put(3780, 4);
    put(0, 4);
    put(0, 4);
    return h;
}

// Two rows: the top row counts up from 0x01, the bottom one from 0x81, with
// each pixel's red, green and blue distinct.
QImage twoRows(int width) {
    QImage img(width, 2, QImage::Format_RGB32);
    for (int x = 0; x < width; ++x) {
        const int a = 1 + 3 * x;
        img.setPixel(x, 0, qRgb(a, a + 1, a + 2));
        img.setPixel(x, 1, qRgb(0x80 + a, 0x81 + a, 0x82 + a));
    }
    return img;
}

TEST(BmpEncode, SmallWidthsGiveExactBytesWithPaddedBottomUpRows) {
    // Pixel bytes are blue, green, red; the bottom row comes first; each row
    // is padded with zeros to a multiple of four bytes.
    struct Case {
        int width;
        Bytes pixels;
    };
    const std::vector<Case> cases = {
        {1, {0x83, 0x82, 0x81, 0, /**/ 0x03, 0x02, 0x01, 0}},
        {2,
         {0x83, 0x82, 0x81, 0x86, 0x85, 0x84, 0, 0, /**/ 0x03, 0x02, 0x01, 0x06, 0x05, 0x04, 0, 0}},
        {3, {0x83,      0x82, 0x81, 0x86, 0x85, 0x84, 0x89, 0x88, 0x87, 0, 0, 0,
             /**/ 0x03, 0x02, 0x01, 0x06, 0x05, 0x04, 0x09, 0x08, 0x07, 0, 0, 0}},
        {4, {0x83,      0x82, 0x81, 0x86, 0x85, 0x84, 0x89, 0x88, 0x87, 0x8C, 0x8B, 0x8A,
             /**/ 0x03, 0x02, 0x01, 0x06, 0x05, 0x04, 0x09, 0x08, 0x07, 0x0C, 0x0B, 0x0A}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.width);
        Bytes expected = header(static_cast<std::uint32_t>(c.width), 2,
                                static_cast<std::uint32_t>(c.pixels.size()));
        expected.insert(expected.end(), c.pixels.begin(), c.pixels.end());
        EXPECT_EQ(bytesOf(encodeBmp(twoRows(c.width), 3780)), expected);
    }
}

TEST(BmpEncode, WideRowMatchesAPixelByPixelReference) {
    const QImage img = fakes::patternImage(QSize(1921, 7));
    const QByteArray bmp = encodeBmp(img, 3780);
    const int row = 5764; // 1921 * 3 = 5763, padded to 5764
    ASSERT_EQ(bmp.size(), 54 + row * 7);
    EXPECT_EQ(bytesOf(bmp.left(54)), header(1921, 7, static_cast<std::uint32_t>(row * 7)));
    const auto* p = reinterpret_cast<const std::uint8_t*>(bmp.constData()) + 54;
    for (int y = 0; y < 7; ++y) {
        const std::uint8_t* line = p + (6 - y) * row;
        for (int x = 0; x < 1921; ++x) {
            const QRgb c = img.pixel(x, y);
            ASSERT_EQ(line[3 * x], qBlue(c)) << x << "," << y;
            ASSERT_EQ(line[3 * x + 1], qGreen(c)) << x << "," << y;
            ASSERT_EQ(line[3 * x + 2], qRed(c)) << x << "," << y;
        }
        EXPECT_EQ(line[row - 1], 0) << "padding of row " << y;
    }
}

TEST(BmpEncode, OtherFormatsAreStoredAsTheirColoursAndQtReadsThemBack) {
    QImage argb = fakes::patternImage(QSize(37, 11)).convertToFormat(QImage::Format_ARGB32);
    argb.setPixel(0, 0, qRgba(10, 20, 30, 0)); // alpha is dropped, the colour kept
    const QImage gray = fakes::patternImage(QSize(5, 3)).convertToFormat(QImage::Format_Grayscale8);
    for (const QImage& img : {argb, gray, fakes::patternImage(QSize(640, 480))}) {
        QImage back;
        ASSERT_TRUE(back.loadFromData(encodeBmp(img, 3780), "BMP"));
        EXPECT_EQ(back.convertToFormat(QImage::Format_RGB32),
                  img.convertToFormat(QImage::Format_RGB32));
    }
    QImage back;
    ASSERT_TRUE(back.loadFromData(encodeBmp(argb, 3780), "BMP"));
    EXPECT_EQ(back.pixel(0, 0), qRgb(10, 20, 30));
}

TEST(BmpEncode, EmptyPictureIsAHeaderOnly) {
    EXPECT_EQ(bytesOf(encodeBmp(QImage(), 3780)), header(0, 0, 0));
}

TEST(BmpEncode, ResolutionFollowsTheScreen) {
    struct Case {
        float twipsPerPixel;
        std::uint32_t dotsPerMeter;
    };
    for (const Case c : {Case{15, 3780}, Case{12, 4724}, Case{7.5f, 7559}}) {
        const QByteArray bmp = encodeBmp(twoRows(1), dotsPerMeter(c.twipsPerPixel));
        EXPECT_EQ(le32(bmp, 38), c.dotsPerMeter) << c.twipsPerPixel;
        EXPECT_EQ(le32(bmp, 42), c.dotsPerMeter) << c.twipsPerPixel;
    }
}

TEST(BmpSave, WritesAndReplacesAFileWithoutLeavingTemporaries) {
    QTemporaryDir dir;
    const QString path = dir.filePath("shot.bmp");
    const QImage first = fakes::patternImage(QSize(30, 20));
    const QImage second = fakes::patternImage(QSize(7, 9));
    saveBmpFile(first, path, 3780);
    saveBmpFile(second, path, 3780);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), encodeBmp(second, 3780));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"shot.bmp"});
}

TEST(BmpSave, RefusedWritesThrowNamingTheSystemsReason) {
    QTemporaryDir dir;
    struct Case {
        QString path;
        QString reason;
    };
    const std::vector<Case> cases = {
        {dir.filePath("missing/shot.bmp"), "No such file or directory"},
        {"/dev/full", "No space left on device"},
        {dir.path(), "directory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        try {
            saveBmpFile(fakes::patternImage(QSize(64, 64)), c.path, 3780);
            ADD_FAILURE() << "no error";
        } catch (const Error& e) {
            EXPECT_EQ(e.code(), Error::Code::File);
            const QString what = QString::fromStdString(e.what());
            EXPECT_TRUE(what.contains(c.path)) << e.what();
            EXPECT_TRUE(what.contains(c.reason, Qt::CaseInsensitive)) << e.what();
        }
    }
}

// Caps the size of files this process may write, as a nearly full disk
// would; writes past the cap fail with EFBIG instead of raising SIGXFSZ.
class FileSizeCap {
public:
    explicit FileSizeCap(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit cap = m_saved;
        cap.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &cap);
    }
    ~FileSizeCap() {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_handler);
    }
    FileSizeCap(const FileSizeCap&) = delete;
    FileSizeCap& operator=(const FileSizeCap&) = delete;

private:
    rlimit m_saved{};
    void (*m_handler)(int) = SIG_DFL;
};

TEST(BmpSave, AFailedWriteKeepsTheFileItWouldReplace) {
    QTemporaryDir dir;
    const QString path = dir.filePath("keep.bmp");
    const QImage small = fakes::patternImage(QSize(10, 10));
    saveBmpFile(small, path, 3780);
    try {
        const FileSizeCap cap(64 * 1024);
        saveBmpFile(fakes::patternImage(QSize(400, 400)), path, 3780); // 480 KB
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_TRUE(QString::fromStdString(e.what()).contains("File too large")) << e.what();
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), encodeBmp(small, 3780));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"keep.bmp"});
}

} // namespace
} // namespace zs::files
