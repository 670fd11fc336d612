#include "screen/kwin_screenshot_capture.h"

#include "services/services.h"
#include "services/unique_fd.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingReply>
#include <QDBusUnixFileDescriptor>
#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <poll.h>
#include <stop_token>
#include <thread>
#include <unistd.h>

namespace zs {

namespace {

const char* const kService = "org.kde.KWin.ScreenShot2";
const char* const kPath = "/org/kde/KWin/ScreenShot2";
const char* const kInterface = "org.kde.KWin.ScreenShot2";
const char* const kNotAuthorized = "org.kde.KWin.ScreenShot2.Error.NoAuthorized";

// The largest output taken: 16384 x 16384 at four bytes a pixel.
constexpr qsizetype kMaxBytes = qsizetype(1) << 30;
constexpr quint32 kMaxSide = 16384;
// A pipe this large lets KWin write a frame in few passes (best effort: the
// system's limit for unprivileged users may be lower).
constexpr int kPipeBytes = 1 << 20;

// Reads a pipe to its end on a thread of its own, so that the user
// interface stays responsive while KWin writes (tens of megabytes at 4K).
class PipeDrain {
public:
    explicit PipeDrain(int fd)
        : m_thread([this, fd](const std::stop_token& stop) { run(fd, stop); }) {}
    // Stops the reading (within one poll slice) when it has not ended.
    ~PipeDrain() = default;
    PipeDrain(const PipeDrain&) = delete;
    PipeDrain& operator=(const PipeDrain&) = delete;

    bool finished() const { return m_finished.load(std::memory_order_acquire); }
    // After finished(): the bytes read, or the reason reading failed.
    QByteArray takeBytes() { return std::move(m_bytes); }
    const QString& failure() const { return m_failure; }

private:
    void run(int fd, const std::stop_token& stop) {
        constexpr qsizetype kChunk = 1 << 20;
        constexpr int kSliceMs = 50;
        qsizetype got = 0;
        while (!stop.stop_requested()) {
            pollfd p{fd, POLLIN, 0};
            const int ready = ::poll(&p, 1, kSliceMs);
            if (ready < 0 && errno != EINTR) {
                m_failure = QStringLiteral("Reading KWin's pixels failed.");
                break;
            }
            if (ready <= 0) {
                continue;
            }
            if (m_bytes.size() < got + kChunk) {
                m_bytes.resize(std::min(kMaxBytes + 1, got + std::max(kChunk, got)));
            }
            const ssize_t n = ::read(fd, m_bytes.data() + got, size_t(m_bytes.size() - got));
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
                continue;
            }
            if (n < 0) {
                m_failure = QStringLiteral("Reading KWin's pixels failed.");
                break;
            }
            if (n == 0) {
                break; // every writer closed its end
            }
            got += n;
            if (got > kMaxBytes) {
                m_failure = QStringLiteral("KWin sent more pixels than any screen has.");
                break;
            }
        }
        m_bytes.truncate(got);
        m_finished.store(true, std::memory_order_release);
    }

    QByteArray m_bytes;
    QString m_failure;
    std::atomic<bool> m_finished{false};
    std::jthread m_thread; // last: joined before the members it writes go
};

CaptureResult failureOf(const QDBusError& error, const QString& output) {
    if (error.name() == QLatin1String(kNotAuthorized)) {
        return CaptureResult::unavailable(
            QStringLiteral("KWin does not let this program copy the screen (%1): the program "
                           "must be started from where it is installed.")
                .arg(error.message()));
    }
    switch (error.type()) {
    case QDBusError::ServiceUnknown:
    case QDBusError::UnknownObject:
    case QDBusError::UnknownInterface:
    case QDBusError::UnknownMethod:
        return CaptureResult::unavailable(
            QStringLiteral("KWin's screenshot interface (%1) is not there: %2")
                .arg(QLatin1String(kInterface), error.message()));
    default:
        return CaptureResult::failed(
            QStringLiteral("KWin could not copy the screen %1: %2").arg(output, error.message()));
    }
}

} // namespace

KWinPixelLayout KWinPixelLayout::fromReply(const QVariantMap& reply) {
    KWinPixelLayout layout;
    layout.type = reply.value(QStringLiteral("type")).toString();
    layout.width = reply.value(QStringLiteral("width")).toUInt();
    layout.height = reply.value(QStringLiteral("height")).toUInt();
    layout.stride = reply.value(QStringLiteral("stride")).toUInt();
    layout.format = reply.value(QStringLiteral("format")).toUInt();
    return layout;
}

QImage imageFromKWinPixels(const QByteArray& pixels, const KWinPixelLayout& layout,
                           QString* failure) {
    const auto refuse = [&](const QString& why) {
        *failure = why;
        return QImage();
    };
    if (!layout.type.isEmpty() && layout.type != QLatin1String("raw")) {
        return refuse(
            QStringLiteral("KWin sent a picture of kind \"%1\", not raw pixels.").arg(layout.type));
    }
    if (layout.width == 0 || layout.height == 0 || layout.width > kMaxSide ||
        layout.height > kMaxSide) {
        return refuse(QStringLiteral("KWin sent a picture of %1 x %2 pixels.")
                          .arg(layout.width)
                          .arg(layout.height));
    }
    // Formats with a colour table never describe a screen; Format_Invalid is 0.
    const bool known = layout.format > quint32(QImage::Format_Indexed8) &&
                       layout.format < quint32(QImage::NImageFormats);
    if (!known) {
        return refuse(
            QStringLiteral("KWin sent pixels in an unknown format (%1).").arg(layout.format));
    }
    const auto format = QImage::Format(layout.format);
    const quint64 bits = QImage::toPixelFormat(format).bitsPerPixel();
    const quint64 rowBytes = (quint64(layout.width) * bits + 7) / 8;
    const quint64 needed = quint64(layout.stride) * (layout.height - 1) + rowBytes;
    if (layout.stride < rowBytes || quint64(pixels.size()) < needed) {
        return refuse(QStringLiteral("KWin sent %1 bytes for a picture of %2 x %3 pixels "
                                     "(%4 bytes a row), which needs %5.")
                          .arg(pixels.size())
                          .arg(layout.width)
                          .arg(layout.height)
                          .arg(layout.stride)
                          .arg(needed));
    }
    const QImage view(reinterpret_cast<const uchar*>(pixels.constData()), int(layout.width),
                      int(layout.height), qsizetype(layout.stride), format);
    // The view borrows `pixels`: the same format still needs a copy of its own.
    QImage image =
        format == QImage::Format_RGB32 ? view.copy() : view.convertToFormat(QImage::Format_RGB32);
    if (image.isNull()) {
        return refuse(QStringLiteral("KWin's pixels could not be converted."));
    }
    return image;
}

KWinScreenshotCapture::KWinScreenshotCapture(QDBusConnection bus, double timeoutSeconds)
    : m_bus(std::move(bus)), m_timeoutSeconds(timeoutSeconds) {}

bool KWinScreenshotCapture::reachable(const QDBusConnection& bus) {
    const QDBusConnectionInterface* daemon = bus.isConnected() ? bus.interface() : nullptr;
    return daemon != nullptr && daemon->isServiceRegistered(QLatin1String(kService)).value();
}

CaptureResult KWinScreenshotCapture::grabPrimary(IEventPump& pump) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return CaptureResult::failed(QStringLiteral("There is no screen to copy."));
    }
    return grabOutput(screen->name(), pump);
}

CaptureResult KWinScreenshotCapture::grabOutput(const QString& output, IEventPump& pump) {
    if (!m_bus.isConnected()) {
        return CaptureResult::unavailable(
            QStringLiteral("There is no D-Bus session, so KWin cannot be asked for the screen."));
    }
    int ends[2] = {-1, -1};
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        return CaptureResult::failed(QStringLiteral("No pipe for KWin's pixels could be made."));
    }
    const UniqueFd readEnd(ends[0]);
    UniqueFd writeEnd(ends[1]);
    ::fcntl(writeEnd.get(), F_SETPIPE_SZ, kPipeBytes);
    PipeDrain drain(readEnd.get());

    const double end = pump.now() + m_timeoutSeconds;
    QVariantMap answer;
    {
        QDBusPendingCall pending = [&] {
            QDBusMessage call = QDBusMessage::createMethodCall(
                QLatin1String(kService), QLatin1String(kPath), QLatin1String(kInterface),
                QStringLiteral("CaptureScreen"));
            QVariantMap options;
            options.insert(QStringLiteral("native-resolution"), true);
            options.insert(QStringLiteral("include-cursor"), false);
            call << output << options
                 << QVariant::fromValue(QDBusUnixFileDescriptor(writeEnd.get()));
            const int timeoutMs = std::max(1, int(std::lround(m_timeoutSeconds * 1000)));
            return m_bus.asyncCall(call, timeoutMs);
        }();
        // Copies of the write end stay in the call (until `pending` goes) and
        // here; once they are closed, KWin's is the last one and its closing
        // ends the pipe.
        writeEnd.reset();
        if (!waitUntil(pump, end - pump.now(), [&] { return pending.isFinished(); })) {
            return CaptureResult::failed(
                QStringLiteral("KWin did not answer within %1 s.").arg(m_timeoutSeconds));
        }
        const QDBusPendingReply<QVariantMap> reply = pending;
        if (reply.isError()) {
            return failureOf(reply.error(), output);
        }
        answer = reply.value();
    }
    const KWinPixelLayout layout = KWinPixelLayout::fromReply(answer);
    if (!waitUntil(pump, end - pump.now(), [&] { return drain.finished(); })) {
        return CaptureResult::failed(
            QStringLiteral("KWin did not deliver the pixels within %1 s.").arg(m_timeoutSeconds));
    }
    if (!drain.failure().isEmpty()) {
        return CaptureResult::failed(drain.failure());
    }
    QString failure;
    QImage image = imageFromKWinPixels(drain.takeBytes(), layout, &failure);
    if (image.isNull()) {
        return CaptureResult::failed(failure);
    }
    return CaptureResult::copied(std::move(image));
}

} // namespace zs
