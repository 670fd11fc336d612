#include "files/bmp.h"

#include "files/file_kind.h"
#include "services/errors.h"

#include <QBuffer>
#include <QFile>
#include <QSaveFile>

#include <array>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zs::files {

int dotsPerMeter(float twipsPerPixel) {
    if (!(twipsPerPixel > 0)) {
        return 3780;
    }
    return static_cast<int>(std::lround(1440.0 / twipsPerPixel / 0.0254));
}

namespace {

constexpr int kHeaderSize = 14 + 40;

void put16(std::uint8_t*& p, std::uint16_t v) {
    *p++ = static_cast<std::uint8_t>(v);
    *p++ = static_cast<std::uint8_t>(v >> 8);
}

void put32(std::uint8_t*& p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        *p++ = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

// One row of 0xAARRGGBB pixels as B, G, R bytes. Four pixels at a time make
// three 32-bit words, which keeps the loop close to memory speed.
void packRow(const std::uint32_t* src, int width, std::uint8_t* dst) {
    int x = 0;
    for (; x + 4 <= width; x += 4) {
        const std::uint32_t p0 = src[x];
        const std::uint32_t p1 = src[x + 1];
        const std::uint32_t p2 = src[x + 2];
        const std::uint32_t p3 = src[x + 3];
        const std::uint32_t w0 = (p0 & 0x00FFFFFFu) | (p1 << 24);
        const std::uint32_t w1 = ((p1 >> 8) & 0x0000FFFFu) | (p2 << 16);
        const std::uint32_t w2 = ((p2 >> 16) & 0x000000FFu) | (p3 << 8);
        std::memcpy(dst, &w0, 4);
        std::memcpy(dst + 4, &w1, 4);
        std::memcpy(dst + 8, &w2, 4);
        dst += 12;
    }
    for (; x < width; ++x) {
        const std::uint32_t p = src[x];
        *dst++ = static_cast<std::uint8_t>(p);
        *dst++ = static_cast<std::uint8_t>(p >> 8);
        *dst++ = static_cast<std::uint8_t>(p >> 16);
    }
}

// Writes all of `size` bytes. A short write is retried, so that the failure
// behind it (a full disk, a file size limit) is reported by the next attempt
// and left in the device's error string.
bool writeAll(QIODevice& device, const char* data, qint64 size) {
    while (size > 0) {
        const qint64 n = device.write(data, size);
        if (n <= 0) {
            return false;
        }
        data += n;
        size -= n;
    }
    return true;
}

static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "packRow assumes little-endian words");

} // namespace

bool writeBmp(QIODevice& device, const QImage& source, int dpm) {
    const QImage image =
        source.format() == QImage::Format_RGB32 || source.format() == QImage::Format_ARGB32
            ? source
            : source.convertToFormat(QImage::Format_RGB32);
    const int width = image.isNull() ? 0 : image.width();
    const int height = image.isNull() ? 0 : image.height();
    const std::uint64_t rowBytes = (static_cast<std::uint64_t>(width) * 3 + 3) & ~std::uint64_t{3};
    const std::uint64_t pixelBytes = rowBytes * static_cast<std::uint64_t>(height);
    if (pixelBytes + kHeaderSize > std::numeric_limits<std::uint32_t>::max()) {
        throw Error(Error::Code::File, "The picture (" + std::to_string(width) + " x " +
                                           std::to_string(height) +
                                           " pixels) is too large for a bitmap file");
    }

    std::array<std::uint8_t, kHeaderSize> header{};
    std::uint8_t* p = header.data();
    *p++ = 'B';
    *p++ = 'M';
    put32(p, static_cast<std::uint32_t>(kHeaderSize + pixelBytes)); // bfSize
    put16(p, 0);                                                    // bfReserved1
    put16(p, 0);                                                    // bfReserved2
    put32(p, kHeaderSize);                                          // bfOffBits
    put32(p, 40);                                                   // biSize
    put32(p, static_cast<std::uint32_t>(width));                    // biWidth
    put32(p, static_cast<std::uint32_t>(height));                   // biHeight: positive, bottom-up
    put16(p, 1);                                                    // biPlanes
    put16(p, 24);                                                   // biBitCount
    put32(p, 0);                                                    // biCompression: BI_RGB
    put32(p, static_cast<std::uint32_t>(pixelBytes));               // biSizeImage
    put32(p, static_cast<std::uint32_t>(dpm));                      // biXPelsPerMeter
    put32(p, static_cast<std::uint32_t>(dpm));                      // biYPelsPerMeter
    put32(p, 0);                                                    // biClrUsed
    put32(p, 0);                                                    // biClrImportant
    if (!writeAll(device, reinterpret_cast<const char*>(header.data()), kHeaderSize)) {
        return false;
    }
    if (pixelBytes == 0) {
        return true;
    }

    // Rows go out in chunks of about 1 MiB: few system calls, little memory.
    const auto row = static_cast<std::size_t>(rowBytes);
    const std::size_t rowsPerChunk = std::max<std::size_t>(1, (std::size_t{1} << 20) / row);
    std::vector<std::uint8_t> chunk(rowsPerChunk * row, 0);
    int y = height - 1;
    while (y >= 0) {
        std::size_t rows = 0;
        for (; rows < rowsPerChunk && y >= 0; ++rows, --y) {
            std::uint8_t* dst = chunk.data() + rows * row;
            packRow(reinterpret_cast<const std::uint32_t*>(image.constScanLine(y)), width, dst);
            // The padding bytes stay zero: the chunk is zeroed once and each
            // row writes only its pixel bytes.
        }
        const auto bytes = static_cast<qint64>(rows) * static_cast<qint64>(row);
        if (!writeAll(device, reinterpret_cast<const char*>(chunk.data()), bytes)) {
            return false;
        }
    }
    return true;
}

QByteArray encodeBmp(const QImage& image, int dpm) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    writeBmp(buffer, image, dpm);
    return bytes;
}

namespace {

[[noreturn]] void fail(const QString& path, const QString& reason) {
    throw Error(Error::Code::File, QStringLiteral("The picture could not be saved as \"%1\": %2")
                                       .arg(path, reason)
                                       .toStdString());
}

// A pipe or a socket would hold the program until something reads from it.
void refuseStream(FileKind kind, const QString& path) {
    if (kind == FileKind::Pipe || kind == FileKind::Socket) {
        fail(path,
             QStringLiteral("it is %1, not a file").arg(QString::fromUtf8(fileKindName(kind))));
    }
}

// Writes into a device (a printer port, /dev/null) in place: replacing it by
// a renamed temporary file would destroy the special file. It is opened
// without waiting, and checked again once open in case a pipe took its
// place.
void saveIntoDevice(const QImage& image, const QString& path, int dpm) {
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        fail(path, QString::fromLocal8Bit(std::strerror(errno)));
    }
    QFile file;
    if (!file.open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered,
                   QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        fail(path, file.errorString());
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        fail(path, QString::fromLocal8Bit(std::strerror(errno)));
    }
    refuseStream(fileKindOfMode(st.st_mode), path);
    if (!writeBmp(file, image, dpm)) {
        fail(path, file.errorString());
    }
    file.close();
    if (file.error() != QFileDevice::NoError) {
        fail(path, file.errorString());
    }
}

} // namespace

void saveBmpFile(const QImage& image, const QString& path, int dpm) {
    const std::optional<FileKind> kind = fileKindAt(path);
    if (kind && *kind != FileKind::Regular && *kind != FileKind::Directory) {
        refuseStream(*kind, path);
        saveIntoDevice(image, path, dpm);
        return;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        fail(path, file.errorString());
    }
    if (!writeBmp(file, image, dpm)) {
        const QString reason = file.errorString();
        file.cancelWriting();
        fail(path, reason);
    }
    if (!file.commit()) {
        fail(path, file.errorString());
    }
}

} // namespace zs::files
