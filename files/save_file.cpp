#include "files/save_file.h"

#include "files/device_writer.h"
#include "files/file_kind.h"
#include "formats/bmp.h"
#include "formats/png.h"
#include "services/errors.h"
#include "services/unique_fd.h"

#include <QFile>
#include <QSaveFile>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <functional>
#include <optional>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zs::files {

namespace {

[[noreturn]] void fail(const QString& path, const QString& reason) {
    throw Error(Error::Code::File, QStringLiteral("The picture could not be saved as \"%1\": %2")
                                       .arg(path, reason)
                                       .toStdString());
}

// Writes the file's bytes into a device; false when the device refuses a
// write, its error string then saying why.
using Writer = std::function<bool(QIODevice&)>;

// Writes `image` into `device` as a 24-bit BMP.
bool writeInto(QIODevice& device, const QImage& image, int dpm) {
    formats::BmpOptions options;
    options.dotsPerMeter = dpm;
    switch (formats::writeBmp(device, image, options)) {
    case formats::BmpResult::Written:
        return true;
    case formats::BmpResult::TooLarge:
        throw Error(Error::Code::File, "The picture (" + std::to_string(image.width()) + " x " +
                                           std::to_string(image.height()) +
                                           " pixels) is too large for a bitmap file");
    case formats::BmpResult::Cancelled:
    case formats::BmpResult::DeviceFailed:
        break;
    }
    return false;
}

// A pipe or a socket would hold the program until something reads from it.
void refuseStream(FileKind kind, const QString& path) {
    if (kind == FileKind::Pipe || kind == FileKind::Socket) {
        fail(path,
             QStringLiteral("it is %1, not a file").arg(QString::fromUtf8(fileKindName(kind))));
    }
}

// How long a device may take no data before the save gives up on it: long
// enough for a printer to wake up, short enough not to hold the program.
constexpr std::chrono::seconds kDeviceStallLimit{30};

// Writes into a device (a printer port, /dev/null) in place: replacing it by
// a renamed temporary file would destroy the special file. It is opened
// without waiting, and checked again once open in case a pipe took its
// place. The device may take the picture a piece at a time: the writes wait
// for it, up to kDeviceStallLimit without progress.
void saveIntoDevice(const Writer& write, const QString& path) {
    UniqueFd fd(
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (fd.get() < 0) {
        fail(path, QString::fromLocal8Bit(std::strerror(errno)));
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        fail(path, QString::fromLocal8Bit(std::strerror(errno)));
    }
    refuseStream(fileKindOfMode(st.st_mode), path);
    DeviceWriter device(fd.get(), kDeviceStallLimit);
    device.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    if (!write(device)) {
        fail(path, device.errorString());
    }
    // A device may report a failed write only when it is closed; the
    // descriptor is gone whatever close(2) says.
    if (::close(fd.release()) != 0) {
        fail(path, QString::fromLocal8Bit(std::strerror(errno)));
    }
}

void saveWith(const Writer& write, const QString& path) {
    const std::optional<FileKind> kind = fileKindAt(path);
    if (kind && *kind != FileKind::Regular && *kind != FileKind::Directory) {
        refuseStream(*kind, path);
        saveIntoDevice(write, path);
        return;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        fail(path, file.errorString());
    }
    if (!write(file)) {
        const QString reason = file.errorString();
        file.cancelWriting();
        fail(path, reason);
    }
    if (!file.commit()) {
        fail(path, file.errorString());
    }
}

} // namespace

void saveBmpFile(const QImage& image, const QString& path, int dpm) {
    saveWith([&](QIODevice& device) { return writeInto(device, image, dpm); }, path);
}

void savePngFile(const QImage& image, const QString& path) {
    const QByteArray bytes = formats::png(image);
    if (bytes.isEmpty()) {
        fail(path, QStringLiteral("the picture could not be encoded as PNG"));
    }
    saveWith([&](QIODevice& device) { return device.write(bytes) == bytes.size(); }, path);
}

} // namespace zs::files
