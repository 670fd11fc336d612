#include "files/save_file.h"

#include "formats/bmp.h"

#include "services/errors.h"
#include "services/fakes/fakes.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <string>

#include <sys/resource.h>

namespace zs::files {
namespace {

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
    formats::BmpOptions options;
    options.dotsPerMeter = 3780;
    EXPECT_EQ(file.readAll(), formats::bmp(small, options));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"keep.bmp"});
}

// A picture whose file would pass 4 GiB is refused before anything is
// written: the file it would replace stays, and no temporary file is left.
// Its pixels are never read, so a small buffer stands for them.
TEST(BmpSave, APictureTooLargeForABitmapFileIsRefused) {
    QTemporaryDir dir;
    const QString path = dir.filePath("huge.bmp");
    const QImage small = fakes::patternImage(QSize(3, 3));
    saveBmpFile(small, path, 3780);
    static const uchar pixels[16] = {};
    const QImage huge(pixels, 4, 357913937, 16, QImage::Format_RGB32); // 4 GiB + 2 bytes
    try {
        saveBmpFile(huge, path, 3780);
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.code(), Error::Code::File);
        EXPECT_EQ(std::string(e.what()),
                  "The picture (4 x 357913937 pixels) is too large for a bitmap file");
    }
    EXPECT_EQ(QImage(path), small);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"huge.bmp"});
}

} // namespace
} // namespace zs::files
