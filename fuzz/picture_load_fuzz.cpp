// Fuzz target for everything that reads the bytes of a picture file: the
// JPEG and BMP end-of-file checks on any bytes, and the whole decode path
// (format probe, size limits, end-of-file check, decode). A refusal
// (zs::Error) is the expected answer to a bad file; anything else that
// escapes, and every sanitizer report, is a finding.
#include "files/picture_file.h"
#include "services/errors.h"

#include <QByteArray>
#include <QImage>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

// Smaller than the program's limits, so that a few bytes declaring a large
// picture decode in milliseconds rather than seconds and the fuzzer keeps
// its pace; the limit checks are the same code either way.
const zs::files::PictureLimits kLimits{std::int64_t{1} << 22, 8192};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto n = static_cast<std::int64_t>(size);
    // The checks run before the probe in the loader only for the format the
    // probe names; here they see every input, headers or not.
    static_cast<void>(zs::files::jpegComplete(data, n));
    static_cast<void>(zs::files::bmpComplete(data, n));

    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    try {
        const QImage image = zs::files::decodePicture(bytes, QStringLiteral("input"), kLimits);
        // A decoded picture is one the loader hands on: never null, never
        // beyond the limits.
        if (image.isNull() || !zs::files::pictureSizeAllowed(image.size(), kLimits)) {
            std::abort();
        }
    } catch (const zs::Error& e) {
        if (e.code() != zs::Error::Code::File && e.code() != zs::Error::Code::OutOfMemory) {
            std::abort();
        }
    }
    return 0;
}
