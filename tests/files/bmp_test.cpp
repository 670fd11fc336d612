#include "files/bmp.h"

#include "services/errors.h"
#include "services/fakes/fakes.h"

#include <QDir>
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

// The 54 header bytes of a 24-bit bottom-up bitmap at 96 dpi, as 32-bit
// little-endian words after "BM": bfSize, the reserved words, bfOffBits,
// biSize, biWidth, biHeight, biPlanes and biBitCount, BI_RGB, biSizeImage,
// the resolution twice, biClrUsed, biClrImportant.
Bytes header(std::uint32_t width, std::uint32_t height, std::uint32_t pixelBytes) {
    Bytes h{'B', 'M'};
    for (const std::uint32_t v : {54 + pixelBytes, 0u, 54u, 40u, width, height, 1u | (24u << 16),
                                  0u, pixelBytes, 3780u, 3780u, 0u, 0u}) {
        for (int i = 0; i < 4; ++i) {
            h.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
        }
    }
    return h;
}

TEST(BmpEncode, ExactBytesWithPaddedBottomUpRows) {
    // Two rows; pixel x of the top row is (1+3x, 2+3x, 3+3x), the bottom row
    // is 0x80 brighter. Bytes go blue, green, red, bottom row first, each row
    // padded with zeros to a multiple of four.
    struct Case {
        int width;
        Bytes pixels;
    };
    const std::vector<Case> cases = {
        {1, {0x83, 0x82, 0x81, 0, 3, 2, 1, 0}},
        {2, {0x83, 0x82, 0x81, 0x86, 0x85, 0x84, 0, 0, 3, 2, 1, 6, 5, 4, 0, 0}},
        {3, {0x83, 0x82, 0x81, 0x86, 0x85, 0x84, 0x89, 0x88, 0x87, 0, 0, 0,
             3,    2,    1,    6,    5,    4,    9,    8,    7,    0, 0, 0}},
        {4, {0x83, 0x82, 0x81, 0x86, 0x85, 0x84, 0x89, 0x88, 0x87, 0x8C, 0x8B, 0x8A,
             3,    2,    1,    6,    5,    4,    9,    8,    7,    12,   11,   10}},
    };
    for (const Case& c : cases) {
        QImage img(c.width, 2, QImage::Format_ARGB32); // alpha is dropped
        for (int x = 0; x < c.width; ++x) {
            img.setPixel(x, 0, qRgba(1 + 3 * x, 2 + 3 * x, 3 + 3 * x, 0));
            img.setPixel(x, 1, qRgba(0x81 + 3 * x, 0x82 + 3 * x, 0x83 + 3 * x, 255));
        }
        Bytes expected = header(static_cast<std::uint32_t>(c.width), 2,
                                static_cast<std::uint32_t>(c.pixels.size()));
        expected.insert(expected.end(), c.pixels.begin(), c.pixels.end());
        EXPECT_EQ(bytesOf(encodeBmp(img, 3780)), expected) << c.width;
    }
}

TEST(BmpEncode, WideRowMatchesAPixelByPixelReference) {
    const QImage img = fakes::patternImage(QSize(1921, 7));
    const QByteArray bmp = encodeBmp(img, 3780);
    const int row = 5764; // 1921 * 3 = 5763, padded
    ASSERT_EQ(bmp.size(), 54 + row * 7);
    EXPECT_EQ(bytesOf(bmp.left(54)), header(1921, 7, row * 7));
    const auto* p = reinterpret_cast<const std::uint8_t*>(bmp.constData()) + 54;
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

// Caps the size of files this process may write, as a nearly full disk
// would; writes past it fail with EFBIG instead of raising SIGXFSZ.
class FileSizeCap {
public:
    explicit FileSizeCap(rlim_t bytes) : m_handler(std::signal(SIGXFSZ, SIG_IGN)) {
        getrlimit(RLIMIT_FSIZE, &m_saved);
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
    void (*m_handler)(int);
    rlimit m_saved{};
};

TEST(BmpSave, AFailedWriteKeepsTheFileItWouldReplace) {
    QTemporaryDir dir;
    const QString path = dir.filePath("keep.bmp");
    const QImage small = fakes::patternImage(QSize(10, 10));
    saveBmpFile(small, path, 3780);
    try {
        const FileSizeCap cap(rlim_t{64} * 1024);
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
