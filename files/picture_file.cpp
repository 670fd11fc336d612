#include "files/picture_file.h"

#include "files/file_kind.h"
#include "services/errors.h"
#include "services/unique_fd.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zs::files {

bool pictureSizeAllowed(QSize size, const PictureLimits& limits) {
    if (size.width() < 0 || size.height() < 0) {
        return false;
    }
    return size.width() <= limits.maxSide && size.height() <= limits.maxSide &&
           static_cast<std::int64_t>(size.width()) * size.height() <= limits.maxPixels;
}

bool jpegComplete(const unsigned char* data, std::int64_t size) {
    if (size < 4 || data[0] != 0xFF || data[1] != 0xD8) {
        return false;
    }
    std::int64_t i = 2;
    while (true) {
        // Next marker: skip stray bytes (the decoder tolerates them), then
        // any number of 0xFF fill bytes.
        while (i < size && data[i] != 0xFF) {
            ++i;
        }
        while (i < size && data[i] == 0xFF) {
            ++i;
        }
        if (i >= size) {
            return false;
        }
        const unsigned char marker = data[i++];
        if (marker == 0xD9) { // EOI
            return true;
        }
        if (marker == 0x01 || marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7)) {
            continue; // markers without a segment
        }
        if (i + 2 > size) {
            return false;
        }
        const int length = (data[i] << 8) | data[i + 1];
        if (length < 2 || i + length > size) {
            return false;
        }
        i += length;
        if (marker != 0xDA) { // not SOS
            continue;
        }
        // Entropy-coded data: 0xFF is followed by a stuffed 0x00 or a restart
        // marker inside it; any other marker ends the scan.
        while (true) {
            const void* ff = std::memchr(data + i, 0xFF, static_cast<std::size_t>(size - i));
            if (ff == nullptr) {
                return false;
            }
            const std::int64_t at = static_cast<const unsigned char*>(ff) - data;
            std::int64_t k = at + 1;
            while (k < size && data[k] == 0xFF) {
                ++k;
            }
            if (k >= size) {
                return false;
            }
            if (data[k] == 0x00 || (data[k] >= 0xD0 && data[k] <= 0xD7)) {
                i = k + 1;
                continue;
            }
            i = at;
            break;
        }
    }
}

namespace {

std::uint32_t le16(const unsigned char* p) {
    return p[0] | (p[1] << 8);
}
std::uint32_t le32(const unsigned char* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

} // namespace

QSize gifCanvasSize(const unsigned char* data, std::int64_t size) {
    if (size < 10 || std::memcmp(data, "GIF8", 4) != 0) {
        return QSize();
    }
    return QSize(static_cast<int>(le16(data + 6)), static_cast<int>(le16(data + 8)));
}

bool bmpComplete(const unsigned char* data, std::int64_t size) {
    if (size < 26 || data[0] != 'B' || data[1] != 'M') {
        return false;
    }
    const std::int64_t offBits = le32(data + 10);
    const std::uint32_t infoSize = le32(data + 14);
    std::int64_t width = 0;
    std::int64_t height = 0;
    std::uint32_t bits = 0;
    std::uint32_t compression = 0;
    if (infoSize == 12) { // BITMAPCOREHEADER
        width = le16(data + 18);
        height = le16(data + 20);
        bits = le16(data + 24);
    } else {
        if (size < 34) {
            return false;
        }
        width = static_cast<std::int32_t>(le32(data + 18));
        height = static_cast<std::int32_t>(le32(data + 22));
        bits = le16(data + 28);
        compression = le32(data + 30);
    }
    if (compression != 0 && compression != 3) { // only BI_RGB and BI_BITFIELDS
        return true;
    }
    if (width < 0) {
        return false;
    }
    const std::int64_t rows = height < 0 ? -height : height;
    const std::int64_t rowBytes = (width * bits + 31) / 32 * 4;
    // rowBytes * rows may pass 2^63 for a made-up header (2^31 rows of 2^44
    // bytes), so compare by division.
    const std::int64_t available = size - offBits;
    if (available < 0) {
        return false;
    }
    return rowBytes == 0 || rows <= available / rowBytes;
}

namespace {

[[noreturn]] void fail(Error::Code code, const QString& text) {
    throw Error(code, text.toStdString());
}

QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

void refuseUnlessRegular(FileKind kind, const QString& path) {
    if (kind != FileKind::Regular) {
        fail(Error::Code::File, QStringLiteral("The file \"%1\" is %2, not a picture file")
                                    .arg(path, QString::fromUtf8(fileKindName(kind))));
    }
}

[[noreturn]] void failTooLarge(const QString& path) {
    fail(Error::Code::OutOfMemory,
         QStringLiteral("The file \"%1\" is larger than the largest picture file that can be "
                        "loaded (%2 bytes)")
             .arg(path)
             .arg(kMaxPictureFileBytes));
}

// Reads `fd` to its end, expecting about `expected` bytes: a file that grew
// since is read on, up to the limit; one that shrank gives what is left.
QByteArray readToEnd(int fd, std::int64_t expected, const QString& path) {
    constexpr std::int64_t kChunk = std::int64_t{1} << 20;
    QByteArray bytes;
    std::int64_t got = 0;
    try {
        bytes.resize(static_cast<qsizetype>(std::max<std::int64_t>(expected, 0)));
        while (true) {
            if (got == bytes.size()) {
                if (got > kMaxPictureFileBytes) {
                    failTooLarge(path);
                }
                bytes.resize(got + kChunk);
            }
            const auto want =
                static_cast<std::size_t>(std::min<std::int64_t>(kChunk, bytes.size() - got));
            const ssize_t n = ::read(fd, bytes.data() + got, want);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                fail(Error::Code::File, QStringLiteral("The file \"%1\" could not be read: %2")
                                            .arg(path, systemError(errno)));
            }
            if (n == 0) {
                break;
            }
            got += n;
        }
    } catch (const std::bad_alloc&) {
        failTooLarge(path);
    }
    bytes.truncate(static_cast<qsizetype>(got));
    return bytes;
}

void checkPictureSize(QSize size, const PictureLimits& limits, const QString& name) {
    if (!pictureSizeAllowed(size, limits)) {
        fail(Error::Code::OutOfMemory,
             QStringLiteral("The picture \"%1\" is %2 x %3 pixels; the largest that can be loaded "
                            "has %4 pixels and %5 pixels a side")
                 .arg(name)
                 .arg(size.width())
                 .arg(size.height())
                 .arg(limits.maxPixels)
                 .arg(limits.maxSide));
    }
}

// JPEG and uncompressed BMP files must run to their end: their decoders
// would fill a missing part with grey or black without a word.
void checkComplete(const QByteArray& format, const QByteArray& bytes, const QString& name) {
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.constData());
    const bool complete = format == "jpeg"  ? jpegComplete(data, bytes.size())
                          : format == "bmp" ? bmpComplete(data, bytes.size())
                                            : true;
    if (!complete) {
        fail(Error::Code::File, QStringLiteral("The picture \"%1\" is incomplete: the file ends "
                                               "before the picture does")
                                    .arg(name));
    }
}

} // namespace

QByteArray readPictureFile(const QString& path) {
    const std::optional<FileKind> kind = fileKindAt(path);
    if (!kind) {
        fail(Error::Code::File, QStringLiteral("The file \"%1\" could not be opened: %2")
                                    .arg(path, systemError(errno)));
    }
    refuseUnlessRegular(*kind, path);
    // Without O_NONBLOCK, a pipe put in the file's place since would hold
    // the open until something writes to it.
    const UniqueFd fd(
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (fd.get() < 0) {
        fail(Error::Code::File, QStringLiteral("The file \"%1\" could not be opened: %2")
                                    .arg(path, systemError(errno)));
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        fail(Error::Code::File,
             QStringLiteral("The file \"%1\" could not be read: %2").arg(path, systemError(errno)));
    }
    refuseUnlessRegular(fileKindOfMode(st.st_mode), path);
    if (st.st_size > kMaxPictureFileBytes) {
        failTooLarge(path);
    }
    return readToEnd(fd.get(), st.st_size, path);
}

QImage decodePicture(const QByteArray& bytes, const QString& name, const PictureLimits& limits) {
    QBuffer probeBuffer;
    probeBuffer.setData(bytes);
    probeBuffer.open(QIODevice::ReadOnly);
    QImageReader probe(&probeBuffer);
    if (!probe.canRead()) {
        fail(Error::Code::File,
             QStringLiteral("The file \"%1\" is not a picture in a format this program reads (%2)")
                 .arg(name, probe.errorString()));
    }
    const QByteArray format = probe.format();
    // Both before the decoder allocates for them. A GIF's reader reports the
    // size of its first frame but draws every frame on the whole canvas the
    // header declares: a file of 24 bytes can ask for a canvas of 3072 x
    // 46591 and keep the decoder busy for seconds. The canvas is held to the
    // same limits as the reported size (which is larger when the canvas is
    // declared empty).
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.constData());
    const QSize canvas = format == "gif" ? gifCanvasSize(data, bytes.size()) : QSize();
    for (const QSize size : {probe.size(), canvas}) {
        if (size.isValid()) {
            checkPictureSize(size, limits, name);
        }
    }
    checkComplete(format, bytes, name);

    QImageReader::setAllocationLimit(kDecoderAllocationLimitMiB);
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    // Photos from phones and cameras store their pixels as the sensor saw
    // them and say in EXIF how to turn them upright.
    reader.setAutoTransform(true);
    QImage image = reader.read();
    if (image.isNull()) {
        fail(Error::Code::File, QStringLiteral("The picture \"%1\" could not be read: %2")
                                    .arg(name, reader.errorString()));
    }
    checkPictureSize(image.size(), limits, name);
    return image;
}

QImage loadPictureFile(const QString& path) {
    if (path.isEmpty()) {
        return QImage();
    }
    return decodePicture(readPictureFile(path), path);
}

} // namespace zs::files
