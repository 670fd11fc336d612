#include "screen/backend_choice.h"
#include "screen/fallback_capture.h"
#include "screen/kwin_screenshot_capture.h"
#include "services/qt/qt_services.h"
#include "tests/support/private_bus.h"

#include <gtest/gtest.h>

#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>

#include <deque>
#include <unistd.h>

namespace zs {
namespace {

// A few pixels no two alike, opaque: what the screen shows.
QImage screenPixels(QSize size) {
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            image.setPixel(x, y, qRgb(x * 37 % 256, y * 59 % 256, (x + y) * 11 % 256));
        }
    }
    return image;
}

// `image` in `format`, its rows `pad` bytes apart beyond their own length,
// the padding filled with a colour that must never show.
QByteArray rawRows(const QImage& image, QImage::Format format, int pad, quint32* stride) {
    const QImage converted = image.convertToFormat(format);
    const qsizetype row = (qsizetype(converted.width()) * converted.depth() + 7) / 8;
    *stride = quint32(row + pad);
    QByteArray bytes(qsizetype(*stride) * converted.height(), char(0xAB));
    for (int y = 0; y < converted.height(); ++y) {
        memcpy(bytes.data() + qsizetype(*stride) * y, converted.constScanLine(y), size_t(row));
    }
    return bytes;
}

bool samePixels(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if ((a.pixel(x, y) | 0xff000000) != (b.pixel(x, y) | 0xff000000)) {
                return false;
            }
        }
    }
    return true;
}

TEST(KWinPixels, EveryFormatAndStrideGivesTheScreenExactly) {
    const QImage screen = screenPixels({7, 3});
    struct Case {
        QImage::Format format;
        int pad;
    };
    const Case cases[] = {
        {QImage::Format_ARGB32, 0}, // what KWin sends
        {QImage::Format_ARGB32_Premultiplied, 0},
        {QImage::Format_RGB32, 12},
        {QImage::Format_RGBX8888, 4},
        {QImage::Format_RGBA8888_Premultiplied, 0},
        {QImage::Format_RGB888, 3}, // rows of 21 bytes, not a multiple of four
        {QImage::Format_BGR888, 0},
        {QImage::Format_RGB16, 2},
    };
    for (const Case& c : cases) {
        KWinPixelLayout layout;
        layout.type = "raw";
        layout.width = 7;
        layout.height = 3;
        layout.format = quint32(c.format);
        QByteArray bytes = rawRows(screen, c.format, c.pad, &layout.stride);
        QString failure;
        const QImage image = imageFromKWinPixels(bytes, layout, &failure);
        // The picture is a copy: the pipe's buffer goes after the call.
        bytes.fill('\0');
        ASSERT_FALSE(image.isNull()) << c.format << ": " << failure.toStdString();
        EXPECT_EQ(image.format(), QImage::Format_RGB32) << c.format;
        // 16-bit colour keeps fewer bits: compared with the screen as it shows them.
        const QImage expected =
            screen.convertToFormat(c.format).convertToFormat(QImage::Format_RGB32);
        EXPECT_TRUE(samePixels(image, expected)) << "format " << c.format << ", pad " << c.pad;
    }
}

TEST(KWinPixels, LayoutsThatDoNotFitThePixelsAreRefused) {
    const QImage screen = screenPixels({4, 2});
    quint32 stride = 0;
    const QByteArray bytes = rawRows(screen, QImage::Format_ARGB32, 0, &stride);
    const KWinPixelLayout good{"raw", 4, 2, stride, quint32(QImage::Format_ARGB32)};
    struct Case {
        const char* what;
        KWinPixelLayout layout;
        qsizetype size;
        const char* failureContains;
    };
    const Case cases[] = {
        {"one byte short", good, bytes.size() - 1, "bytes"},
        {"stride shorter than a row", {"raw", 4, 2, 12, 5}, bytes.size(), "bytes"},
        {"no format", {"raw", 4, 2, stride, 0}, bytes.size(), "format"},
        {"a colour table format",
         {"raw", 4, 2, stride, quint32(QImage::Format_Indexed8)},
         bytes.size(),
         "format"},
        {"a format Qt does not know", {"raw", 4, 2, stride, 999}, bytes.size(), "format"},
        {"no width", {"raw", 0, 2, stride, 5}, bytes.size(), "0 x 2"},
        {"a PNG instead of pixels", {"png", 4, 2, stride, 5}, bytes.size(), "png"},
    };
    for (const Case& c : cases) {
        QString failure;
        EXPECT_TRUE(imageFromKWinPixels(bytes.left(c.size), c.layout, &failure).isNull()) << c.what;
        EXPECT_TRUE(failure.contains(c.failureContains)) << c.what << ": " << failure.toStdString();
    }
    QString failure;
    EXPECT_FALSE(imageFromKWinPixels(bytes, good, &failure).isNull()) << failure.toStdString();
}

// A backend that answers from a script, counting its calls.
class ScriptedCapture final : public IScreenCapture {
public:
    ScriptedCapture(QString name, std::deque<CaptureResult> answers, int* calls)
        : m_name(std::move(name)), m_answers(std::move(answers)), m_calls(calls) {}
    QString name() const override { return m_name; }
    CaptureResult grabPrimary(IEventPump& /*pump*/) override {
        ++*m_calls;
        CaptureResult r = m_answers.front();
        if (m_answers.size() > 1) {
            m_answers.pop_front();
        }
        return r;
    }

private:
    QString m_name;
    std::deque<CaptureResult> m_answers;
    int* m_calls;
};

TEST(FallbackCapture, MovesOnForGoodOnlyWhenTheFirstIsUnavailable) {
    const QImage first = screenPixels({2, 2});
    const QImage second = screenPixels({3, 3});
    struct Case {
        const char* what;
        std::deque<CaptureResult> firstAnswers;
        // Per grab: which backend's picture (1, 2) or 0 for a failure.
        std::vector<int> expected;
        int firstCalls, nextCalls;
        const char* nameAfter;
    };
    const Case cases[] = {
        {"the first copies", {CaptureResult::copied(first)}, {1, 1}, 2, 0, "kwin"},
        {"one copy fails, the next succeeds: still the first",
         {CaptureResult::failed("busy"), CaptureResult::copied(first)},
         {0, 1},
         2,
         0,
         "kwin"},
        {"refused: the next backend at once and from then on",
         {CaptureResult::unavailable("not authorised"), CaptureResult::copied(first)},
         {2, 2, 2},
         1,
         3,
         "portal"},
    };
    for (const Case& c : cases) {
        int firstCalls = 0;
        int nextCalls = 0;
        FallbackCapture capture(
            std::make_unique<ScriptedCapture>("kwin", c.firstAnswers, &firstCalls),
            std::make_unique<ScriptedCapture>(
                "portal", std::deque<CaptureResult>{CaptureResult::copied(second)}, &nextCalls));
        QtEventPump pump;
        for (int want : c.expected) {
            const CaptureResult r = capture.grabPrimary(pump);
            EXPECT_EQ(r.ok(), want != 0) << c.what;
            if (want != 0) {
                EXPECT_EQ(r.image().size(), (want == 1 ? first : second).size()) << c.what;
            }
        }
        EXPECT_EQ(firstCalls, c.firstCalls) << c.what;
        EXPECT_EQ(nextCalls, c.nextCalls) << c.what;
        EXPECT_EQ(capture.name(), QString(c.nameAfter)) << c.what;
    }
}

TEST(ChooseScreenCapture, KWinFirstWhereItOffersItsScreenshotOrWhenNamed) {
    struct Case {
        const char* platform;
        bool kwinScreenshot;
        const char* forced;
        const char* expected;
    };
    const Case cases[] = {
        {"wayland", true, "", "kwin"},
        {"wayland", false, "", "portal"},
        {"wayland", true, "kwin", "kwin"},
        {"wayland", true, "portal", "portal"}, // named: KWin passed over
        {"wayland", false, "kwin", "portal"},  // named but unreachable: the usual choice
    };
    for (const Case& c : cases) {
        CaptureSession session;
        session.qtPlatform = c.platform;
        session.sessionType = "wayland";
        session.kwinScreenshot = c.kwinScreenshot;
        session.forcedBackend = c.forced;
        EXPECT_EQ(chooseScreenCapture(session)->name(), QString(c.expected))
            << c.platform << " " << c.kwinScreenshot << " " << c.forced;
    }
}

enum class KWinAnswer { Pixels, NotAuthorized, NoSuchScreen, NeverWrites };

// Plays KWin's org.kde.KWin.ScreenShot2 on its own connection.
class FakeKWin : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.KWin.ScreenShot2")
public:
    KWinAnswer answer = KWinAnswer::Pixels;
    QImage screen;
    QString lastOutput;
    QVariantMap lastOptions;
    int heldFd = -1; // the pipe kept open, never written

    ~FakeKWin() override {
        if (heldFd >= 0) {
            ::close(heldFd);
        }
    }

public slots: // NOLINT(readability-redundant-access-specifiers): moc needs the slots section
    QVariantMap CaptureScreen(const QString& output, const QVariantMap& options,
                              const QDBusUnixFileDescriptor& pipe) {
        lastOutput = output;
        lastOptions = options;
        if (answer == KWinAnswer::NotAuthorized) {
            sendErrorReply("org.kde.KWin.ScreenShot2.Error.NoAuthorized",
                           "The process is not authorized to take a screenshot");
            return {};
        }
        if (answer == KWinAnswer::NoSuchScreen) {
            sendErrorReply("org.kde.KWin.ScreenShot2.Error.InvalidScreen",
                           "Invalid screen requested");
            return {};
        }
        const int fd = ::dup(pipe.fileDescriptor());
        if (answer == KWinAnswer::NeverWrites) {
            heldFd = fd;
        } else {
            // Written here, on the thread that serves the caller's events too:
            // a frame larger than the pipe only gets through when the caller
            // reads on a thread of its own.
            const QImage argb = screen.convertToFormat(QImage::Format_ARGB32);
            const auto* data = reinterpret_cast<const char*>(argb.constBits());
            for (qsizetype done = 0; done < argb.sizeInBytes();) {
                const ssize_t n = ::write(fd, data + done, size_t(argb.sizeInBytes() - done));
                if (n <= 0) {
                    break;
                }
                done += n;
            }
            ::close(fd);
        }
        return {{"type", "raw"},
                {"width", quint32(screen.width())},
                {"height", quint32(screen.height())},
                {"stride", quint32(screen.width() * 4)},
                {"format", quint32(QImage::Format_ARGB32)}};
    }
};

class KWinOnPrivateBus : public test::PrivateBusTest {
protected:
    void publish(FakeKWin& kwin) {
        QDBusConnection bus = server();
        ASSERT_TRUE(bus.registerService("org.kde.KWin.ScreenShot2"));
        ASSERT_TRUE(bus.registerObject("/org/kde/KWin/ScreenShot2", &kwin,
                                       QDBusConnection::ExportAllSlots));
    }
    QtEventPump m_pump;
};

TEST_F(KWinOnPrivateBus, AnswersGiveTheOutputOrSayWhetherToMoveOn) {
    FakeKWin kwin;
    // 1920 x 1080 at four bytes a pixel: far more than a pipe holds.
    kwin.screen = screenPixels({1920, 1080});
    EXPECT_FALSE(KWinScreenshotCapture::reachable(client()));
    KWinScreenshotCapture capture(client(), 0.5);
    const CaptureResult absent = capture.grabOutput("Virtual-1", m_pump);
    EXPECT_TRUE(absent.backendUnavailable()) << absent.failure().toStdString();

    publish(kwin);
    EXPECT_TRUE(KWinScreenshotCapture::reachable(client()));
    struct Case {
        KWinAnswer answer;
        bool unavailable;
        const char* failureContains; // nullptr: the picture
    };
    const Case cases[] = {
        {KWinAnswer::Pixels, false, nullptr},
        {KWinAnswer::NotAuthorized, true, "does not let this program"},
        {KWinAnswer::NoSuchScreen, false, "Virtual-1"},
        {KWinAnswer::NeverWrites, false, "did not deliver"},
    };
    for (const Case& c : cases) {
        kwin.answer = c.answer;
        const CaptureResult r = capture.grabOutput("Virtual-1", m_pump);
        EXPECT_EQ(kwin.lastOutput, "Virtual-1");
        EXPECT_EQ(kwin.lastOptions.value("native-resolution").toBool(), true);
        EXPECT_EQ(kwin.lastOptions.value("include-cursor").toBool(), false);
        EXPECT_EQ(r.backendUnavailable(), c.unavailable) << r.failure().toStdString();
        if (c.failureContains == nullptr) {
            ASSERT_TRUE(r.ok()) << r.failure().toStdString();
            EXPECT_TRUE(samePixels(r.image(), kwin.screen));
        } else {
            EXPECT_FALSE(r.ok());
            EXPECT_TRUE(r.failure().contains(c.failureContains)) << r.failure().toStdString();
        }
    }
}

} // namespace
} // namespace zs

#include "kwin_capture_test.moc"
