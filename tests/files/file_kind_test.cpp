#include "files/file_kind.h"
#include "files/picture_file.h"
#include "files/save_file.h"
#include "services/errors.h"
#include "services/fakes/fakes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace zs::files {
namespace {

// A Unix socket bound to a path, listening, closed when it goes.
class BoundSocket {
public:
    explicit BoundSocket(const QString& path) : m_fd(::socket(AF_UNIX, SOCK_STREAM, 0)) {
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        const QByteArray name = QFile::encodeName(path);
        EXPECT_LT(static_cast<std::size_t>(name.size()), sizeof(addr.sun_path));
        std::memcpy(addr.sun_path, name.constData(), static_cast<std::size_t>(name.size()));
        EXPECT_EQ(::bind(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
        EXPECT_EQ(::listen(m_fd, 1), 0);
    }
    ~BoundSocket() { ::close(m_fd); }
    BoundSocket(const BoundSocket&) = delete;
    BoundSocket& operator=(const BoundSocket&) = delete;

private:
    int m_fd;
};

class SpecialFiles : public ::testing::Test {
protected:
    SpecialFiles() {
        EXPECT_EQ(::mkfifo(QFile::encodeName(path("pipe.jpg")).constData(), 0600), 0);
        EXPECT_TRUE(QFile::link(path("pipe.jpg"), path("link-to-pipe.jpg")));
        EXPECT_TRUE(QDir(dir.path()).mkdir("folder.jpg"));
    }
    QString path(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }

    // The message of the zs::Error that `step` throws, or nothing.
    template <typename Step> static std::optional<std::string> errorOf(Step step) {
        try {
            step();
        } catch (const Error& e) {
            return std::string(e.what());
        }
        return std::nullopt;
    }

    QTemporaryDir dir{QDir::tempPath() + "/zs-XXXXXX"}; // short: socket paths are limited
    BoundSocket socket{path("socket.jpg")};
};

TEST_F(SpecialFiles, LoadRefusesAnythingButARegularFileWithoutWaiting) {
    const struct {
        QString file;
        const char* words;
    } cases[] = {
        {path("pipe.jpg"), "is a named pipe"},         // opening it would wait for a writer
        {path("link-to-pipe.jpg"), "is a named pipe"}, // links are followed
        {path("socket.jpg"), "is a socket"},
        {path("folder.jpg"), "is a directory"},
        {"/dev/zero", "is a character device"}, // reading it would never end
        {path("missing.jpg"), "No such file or directory"},
    };
    for (const auto& c : cases) {
        const std::optional<std::string> error = errorOf([&] { loadPictureFile(c.file); });
        ASSERT_TRUE(error.has_value()) << c.file.toStdString();
        EXPECT_NE(error->find(c.file.toStdString()), std::string::npos) << *error;
        EXPECT_NE(error->find(c.words), std::string::npos) << *error;
    }
}

TEST_F(SpecialFiles, SaveRefusesPipesAndSocketsButWritesIntoDevices) {
    const QImage image = fakes::patternImage(QSize(8, 8));
    const struct {
        QString file;
        const char* words; // nullptr: saved
    } cases[] = {
        {path("pipe.jpg"), "is a named pipe"}, // nothing reads from it
        {path("link-to-pipe.jpg"), "is a named pipe"},
        {path("socket.jpg"), "is a socket"},
        {"/dev/null", nullptr},
    };
    for (const auto& c : cases) {
        const std::optional<std::string> error = errorOf([&] { saveBmpFile(image, c.file, 3780); });
        if (c.words == nullptr) {
            EXPECT_FALSE(error.has_value()) << *error;
            continue;
        }
        ASSERT_TRUE(error.has_value()) << c.file.toStdString();
        EXPECT_NE(error->find(c.words), std::string::npos) << *error;
    }
    // The special files are still there, untouched.
    EXPECT_EQ(fileKindAt(path("pipe.jpg")), FileKind::Pipe);
    EXPECT_EQ(fileKindAt(path("socket.jpg")), FileKind::Socket);
}

TEST(ReadPictureFile, ReadsEveryByteAlsoOfAFileThatReportsNoSize) {
    QTemporaryDir dir;
    QByteArray bytes(3 * 1024 * 1024 + 17, '\0');
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>((i * 131) >> 3);
    }
    QFile file(dir.filePath("data.bin"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();
    EXPECT_EQ(readPictureFile(file.fileName()), bytes);

    QFile empty(dir.filePath("empty.jpg"));
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    EXPECT_TRUE(readPictureFile(empty.fileName()).isEmpty());

    // The kernel's files report a size of 0 and still have content.
    const QByteArray status = readPictureFile(QStringLiteral("/proc/self/status"));
    EXPECT_TRUE(status.startsWith("Name:")) << status.left(40).toStdString();
}

} // namespace
} // namespace zs::files
