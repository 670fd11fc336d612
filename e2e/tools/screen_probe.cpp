// screen-probe BACKEND PLACE TIMEOUT_MS X,Y=RRGGBB...: waits until the
// screen shows every given colour at its pixel (device pixels of the output)
// and says when, for the latency benchmarks, whose resolution is one poll.
// Each poll reads the pixels through the compositor's own fast path:
//
//   wlr PLACE    the output PLACE (HEADLESS-1) through screencopy, the
//                program's own backend (one whole frame a poll)
//   kwin -       KWin's screenshot interface, the smallest area holding
//                every pixel
//   gnome PLACE  the shell's Screenshot interface, the same area, written
//                as a PNG into the folder PLACE (the shell's user's) and
//                removed after reading
//
// After its first poll it prints "ready" and the pixels it saw, and waits
// for SIGUSR1, which the caller sends once it has acted (clicked). With
// $PROBE_QUIET_MS it then stays idle that long before polling again: each
// poll makes the compositor render, which would slow what is measured
// during a time in which the result cannot show anyway. Once a poll finds
// every colour it prints
// "shown T POLLS SLOWEST_MS", T the wall clock at the end of that poll in
// microseconds since the epoch (as bash's EPOCHREALTIME without its dot),
// and exits 0. Exits 1 with the last pixels seen after TIMEOUT_MS, and 2 on
// bad arguments or when the screen cannot be read.
#include "screen/kwin_screenshot_capture.h"
#include "screen/wlr_screencopy_capture.h"
#include "services/services.h"
#include "services/unique_fd.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QRect>
#include <QThread>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <unistd.h>
#include <vector>

namespace {

struct Probe {
    int x = 0;
    int y = 0;
    QRgb want = 0;
};

std::optional<Probe> parseProbe(const QString& text) {
    const QStringList halves = text.split(QLatin1Char('='));
    const QStringList xy = halves.value(0).split(QLatin1Char(','));
    if (halves.size() != 2 || xy.size() != 2 || halves[1].size() != 6) {
        return std::nullopt;
    }
    bool okX = false;
    bool okY = false;
    bool okC = false;
    Probe p{xy[0].toInt(&okX), xy[1].toInt(&okY), halves[1].toUInt(&okC, 16)};
    if (!okX || !okY || !okC) {
        return std::nullopt;
    }
    return p;
}

QString hex(QRgb c) {
    return QStringLiteral("%1").arg(c & 0xFFFFFF, 6, 16, QLatin1Char('0')).toUpper();
}

// Waits in short slices, so that a grab's answer is taken up within a
// millisecond rather than the program's 10 ms.
class FinePump final : public zs::IEventPump {
public:
    double now() const override { return double(m_clock.nsecsElapsed()) / 1e9; }
    void processEvents(double /*maxWaitSeconds*/) override {
        QCoreApplication::processEvents();
        QThread::usleep(500);
    }

private:
    QElapsedTimer m_clock{[] {
        QElapsedTimer t;
        t.start();
        return t;
    }()};
};

// KWin's picture of `area` (logical pixels: scale 1 here).
QImage kwinArea(const QRect& area, QString* failure) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        *failure = QStringLiteral("no pipe");
        return {};
    }
    zs::UniqueFd readEnd(ends[0]);
    zs::UniqueFd writeEnd(ends[1]);
    QDBusMessage reply;
    {
        // The message holds a copy of the write end: it goes with it, so
        // that KWin's close ends the pipe.
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.kde.KWin.ScreenShot2"), QStringLiteral("/org/kde/KWin/ScreenShot2"),
            QStringLiteral("org.kde.KWin.ScreenShot2"), QStringLiteral("CaptureArea"));
        QVariantMap options;
        options.insert(QStringLiteral("native-resolution"), true);
        call << area.x() << area.y() << uint(area.width()) << uint(area.height()) << options
             << QVariant::fromValue(QDBusUnixFileDescriptor(writeEnd.get()));
        writeEnd.reset();
        reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 5000);
    }
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        *failure = QStringLiteral("CaptureArea: ") + reply.errorMessage();
        return {};
    }
    QByteArray bytes;
    char chunk[256];
    ssize_t n = 0;
    while ((n = ::read(readEnd.get(), chunk, sizeof chunk)) > 0 || (n < 0 && errno == EINTR)) {
        if (n > 0) {
            bytes.append(chunk, n);
        }
    }
    const auto layout =
        zs::KWinPixelLayout::fromReply(qdbus_cast<QVariantMap>(reply.arguments().constFirst()));
    return zs::imageFromKWinPixels(bytes, layout, failure);
}

// The shell's picture of `area` (stage coordinates), through a PNG in
// `folder`.
QImage gnomeArea(const QRect& area, const QString& folder, QString* failure) {
    const QString file =
        folder + QStringLiteral("/probe-%1.png").arg(QCoreApplication::applicationPid());
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.gnome.Shell"), QStringLiteral("/org/gnome/Shell/Screenshot"),
        QStringLiteral("org.gnome.Shell.Screenshot"), QStringLiteral("ScreenshotArea"));
    call << area.x() << area.y() << area.width() << area.height() << false << file;
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 5000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty() ||
        !reply.arguments().constFirst().toBool()) {
        *failure = QStringLiteral("ScreenshotArea: ") + reply.errorMessage();
        return {};
    }
    const QImage image(file);
    QFile::remove(file);
    if (image.isNull()) {
        *failure = QStringLiteral("the shell's picture could not be read");
        return {};
    }
    return image;
}

} // namespace

int main(int argc, char** argv) {
    // No window: the offscreen platform keeps the tool off the desktop.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    std::vector<Probe> probes;
    for (qsizetype i = 4; i < args.size(); ++i) {
        const auto p = parseProbe(args[i]);
        if (!p) {
            probes.clear();
            break;
        }
        probes.push_back(*p);
    }
    const QString backend = args.value(1);
    const QString place = args.value(2);
    bool timeoutOk = false;
    const qint64 timeoutMs = args.value(3).toLongLong(&timeoutOk);
    if (probes.empty() || !timeoutOk ||
        (backend != QLatin1String("wlr") && backend != QLatin1String("kwin") &&
         backend != QLatin1String("gnome"))) {
        std::fprintf(
            stderr,
            "usage: screen-probe wlr|kwin|gnome OUTPUT|-|FOLDER TIMEOUT_MS X,Y=RRGGBB...\n");
        return 2;
    }

    FinePump pump;
    std::unique_ptr<zs::WlrScreencopyCapture> screencopy;
    if (backend == QLatin1String("wlr")) {
        screencopy = zs::WlrScreencopyCapture::open();
    }
    // Every probe lies in one area, read in one request a poll.
    QRect area;
    for (const Probe& p : probes) {
        area |= QRect(p.x, p.y, 1, 1);
    }
    const auto poll = [&](QString* failure) -> std::optional<std::vector<QRgb>> {
        QImage image;
        QPoint origin = area.topLeft();
        if (backend == QLatin1String("wlr")) {
            if (!screencopy) {
                *failure = QStringLiteral("no compositor with screencopy in WAYLAND_DISPLAY");
                return std::nullopt;
            }
            const zs::CaptureResult shot = screencopy->grabOutput(pump, place);
            if (!shot.ok()) {
                *failure = shot.failure();
                return std::nullopt;
            }
            image = shot.image();
            origin = QPoint(0, 0);
        } else {
            image = backend == QLatin1String("kwin") ? kwinArea(area, failure)
                                                     : gnomeArea(area, place, failure);
        }
        if (image.isNull()) {
            return std::nullopt;
        }
        std::vector<QRgb> seen;
        for (const Probe& p : probes) {
            const QPoint at = QPoint(p.x, p.y) - origin;
            if (!image.rect().contains(at)) {
                *failure = QStringLiteral("pixel %1,%2 lies off the picture").arg(p.x).arg(p.y);
                return std::nullopt;
            }
            seen.push_back(image.pixel(at));
        }
        return seen;
    };
    const auto describe = [](const std::vector<QRgb>& seen) {
        QStringList s;
        for (const QRgb c : seen) {
            s << hex(c);
        }
        return s.join(QLatin1Char(' '));
    };
    const auto matches = [&](const std::vector<QRgb>& seen) {
        for (std::size_t i = 0; i < probes.size(); ++i) {
            if ((seen[i] & 0xFFFFFF) != probes[i].want) {
                return false;
            }
        }
        return true;
    };

    // Blocked before the caller can send it, taken with sigtimedwait below.
    sigset_t go;
    sigemptyset(&go);
    sigaddset(&go, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &go, nullptr);

    QString failure;
    auto seen = poll(&failure);
    if (!seen) {
        std::fprintf(stderr, "screen-probe: %s\n", qPrintable(failure));
        return 2;
    }
    std::printf("ready %s\n", qPrintable(describe(*seen)));
    std::fflush(stdout);

    const timespec limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000000};
    if (sigtimedwait(&go, nullptr, &limit) != SIGUSR1) {
        std::printf("timeout waiting for SIGUSR1\n");
        return 1;
    }
    QElapsedTimer total;
    total.start();
    QThread::msleep(qEnvironmentVariableIntValue("PROBE_QUIET_MS"));
    qint64 slowest = 0;
    int polls = 0;
    while (total.elapsed() < timeoutMs) {
        QElapsedTimer one;
        one.start();
        seen = poll(&failure);
        slowest = std::max(slowest, one.elapsed());
        ++polls;
        if (!seen) {
            std::fprintf(stderr, "screen-probe: %s\n", qPrintable(failure));
            return 2;
        }
        if (matches(*seen)) {
            timespec at{};
            clock_gettime(CLOCK_REALTIME, &at);
            const long long atUs = static_cast<long long>(at.tv_sec) * 1000000 + at.tv_nsec / 1000;
            std::printf("shown %lld %d %lld\n", atUs, polls, static_cast<long long>(slowest));
            return 0;
        }
        // A breath between polls: the compositor renders each of them.
        QThread::usleep(2000);
    }
    std::printf("timeout %s\n", qPrintable(describe(*seen)));
    return 1;
}
