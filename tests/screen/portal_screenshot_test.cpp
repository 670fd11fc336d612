#include "screen/backend_choice.h"
#include "screen/portal_capture.h"
#include "screen/portal_screenshot.h"
#include "services/qt/qt_services.h"
#include "tests/support/private_bus.h"

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QScopeGuard>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

#include <unistd.h>

namespace zs {
namespace {

constexpr std::int64_t kSecond = 1'000'000'000;

TEST(PortalFile, WhatMayBeReadAsThisRequestsPicture) {
    const unsigned us = 1000;
    const std::int64_t sent = 100 * kSecond;
    struct Case {
        const char* what;
        PortalFileFacts file;
        bool usable;
    };
    const Case cases[] = {
        {"fresh regular file of ours", {true, us, 1, sent + kSecond / 2}, true},
        {"written in the same second, coarse clock", {true, us, 1, sent - kSecond / 2}, true},
        {"left from an earlier request", {true, us, 1, sent - 5 * kSecond}, false},
        {"another user's file of the same name", {true, 0, 1, sent + kSecond}, false},
        {"not a regular file", {false, us, 1, sent + kSecond}, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(portalFileProblem(c.file, us, sent).isEmpty(), c.usable) << c.what;
    }
}

TEST(PortalFile, OnlyTheVeryFileReadIsRemoved) {
    const PortalFileFacts read{true, 1000, 1, 0, 7, 42};
    struct Case {
        const char* what;
        PortalFileFacts now;
        bool removed;
    };
    const Case cases[] = {
        {"still the file read", read, true},
        {"replaced by another file of the name", {true, 1000, 1, 0, 7, 43}, false},
        {"the same inode number on another file system", {true, 1000, 1, 0, 8, 42}, false},
        {"given a second name meanwhile", {true, 1000, 2, 0, 7, 42}, false},
        {"replaced by a symbolic link or folder", {false, 1000, 1, 0, 7, 42}, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(portalFileMayBeRemoved(read, c.now), c.removed) << c.what;
    }
}

TEST(PortalShotGeometry, PrimaryScreenInThePicture) {
    struct Case {
        const char* what;
        QSize shot;
        QRect desktop; // Qt's virtual geometry
        QRect primary; // Qt's geometry of the primary screen
        QSize device;  // the primary output's mode
        QRect expected;
    };
    const Case cases[] = {
        {"one screen",
         {1920, 1080},
         {0, 0, 1920, 1080},
         {0, 0, 1920, 1080},
         {1920, 1080},
         {0, 0, 1920, 1080}},
        {"only the primary of two, scaled 2",
         {3840, 2160},
         {0, 0, 3840, 1080},
         {1920, 0, 1920, 1080},
         {3840, 2160},
         {0, 0, 3840, 2160}},
        {"whole desktop, primary on the right",
         {3840, 1080},
         {0, 0, 3840, 1080},
         {1920, 0, 1920, 1080},
         {1920, 1080},
         {1920, 0, 1920, 1080}},
        {"whole desktop at scale 2, primary below",
         {2560, 3600},
         {0, -1080, 1280, 1800},
         {0, 0, 1280, 720},
         {2560, 1440},
         {0, 2160, 2560, 1440}},
        // Qt's geometry in device pixels with ratio 2 (mutter's physical layout).
        {"geometry already in device pixels at scale 2",
         {3840, 2160},
         {0, 0, 3840, 2160},
         {0, 0, 3840, 2160},
         {3840, 2160},
         {0, 0, 3840, 2160}},
        {"geometry in device pixels, scale 2 primary right of a scale 1",
         {5760, 2160},
         {0, 0, 5760, 2160},
         {1920, 0, 3840, 2160},
         {3840, 2160},
         {1920, 0, 3840, 2160}},
        {"picture scaled down from the device pixels",
         {1920, 1080},
         {0, 0, 1920, 1080},
         {0, 0, 1920, 1080},
         {3840, 2160},
         {}},
        {"picture smaller than the primary",
         {800, 600},
         {0, 0, 1920, 1080},
         {0, 0, 1920, 1080},
         {1920, 1080},
         {}},
        {"no picture", {0, 0}, {0, 0, 1920, 1080}, {0, 0, 1920, 1080}, {1920, 1080}, {}},
        {"no device size", {1920, 1080}, {0, 0, 1920, 1080}, {0, 0, 1920, 1080}, {}, {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(primaryRectInShot(c.shot, c.desktop, c.primary, c.device), c.expected) << c.what;
    }
}

// --- a portal on a private bus ---------------------------------------------

enum class Answer {
    WithPicture,       // Response 0 with the uri, after the reply
    BeforeReply,       // Response 0 sent before the method's reply
    OnItsOwnPath,      // ignores handle_token (portals before 0.9)
    Cancelled,         // Response 1
    Refused,           // Response 2
    Never,             // replies, never responds
    NoScreenshotMethod // the object exists without the interface
};

// Plays org.freedesktop.portal.Desktop's Screenshot on its own connection.
class FakePortal : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Screenshot")
public:
    Answer answer = Answer::WithPicture;
    QString uri;
    QVariantMap lastOptions;
    int calls = 0;
    QString busName; // the connection it answers on

public slots: // NOLINT(readability-redundant-access-specifiers): moc needs the slots section
    QDBusObjectPath Screenshot(const QString& /*parentWindow*/, const QVariantMap& options) {
        ++calls;
        lastOptions = options;
        if (answer == Answer::NoScreenshotMethod) {
            sendErrorReply(QDBusError::UnknownMethod, "no such method");
            return {};
        }
        QString sender = message().service().mid(1);
        sender.replace('.', '_');
        QString path = "/org/freedesktop/portal/desktop/request/" + sender + "/" +
                       options.value("handle_token").toString();
        if (answer == Answer::OnItsOwnPath) {
            path = "/org/freedesktop/portal/desktop/request/" + sender + "/own1";
        }
        m_path = path;
        if (answer == Answer::BeforeReply) {
            respond();
        } else if (answer == Answer::OnItsOwnPath) {
            // An old portal: the caller can listen only once it has the reply.
            QTimer::singleShot(200, this, &FakePortal::respond);
        } else if (answer != Answer::Never) {
            // After the reply has gone out.
            QMetaObject::invokeMethod(this, &FakePortal::respond, Qt::QueuedConnection);
        }
        return QDBusObjectPath(path);
    }

private:
    void respond() {
        uint code = 0;
        QVariantMap results;
        if (answer == Answer::Cancelled) {
            code = 1;
        } else if (answer == Answer::Refused) {
            code = 2;
        } else {
            results.insert("uri", uri);
        }
        QDBusMessage signal =
            QDBusMessage::createSignal(m_path, "org.freedesktop.portal.Request", "Response");
        signal << code << results;
        QDBusConnection(busName).send(signal);
    }
    QString m_path;
};

class PortalOnPrivateBus : public test::PrivateBusTest {
protected:
    // Registers `portal` as the desktop portal on the server connection.
    void publish(FakePortal& portal, bool withInterface = true) {
        QDBusConnection bus = server();
        ASSERT_TRUE(bus.isConnected());
        portal.busName = m_serverName;
        ASSERT_TRUE(bus.registerService("org.freedesktop.portal.Desktop"));
        ASSERT_TRUE(bus.registerObject("/org/freedesktop/portal/desktop", &portal,
                                       withInterface ? QDBusConnection::ExportAllSlots
                                                     : QDBusConnection::ExportNonScriptableSlots));
    }

    // A PNG of `size` in `dir`, painted with a known colour.
    static QString writePicture(const QString& dir, const QString& name, QSize size) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(qRgb(12, 34, 56));
        image.setPixel(1, 2, qRgb(200, 100, 50));
        QString path = QDir(dir).filePath(name);
        EXPECT_TRUE(image.save(path, "PNG"));
        return path;
    }

    QtEventPump m_pump;
};

TEST_F(PortalOnPrivateBus, AnswersGiveThePictureOrAReasonNamingWhatHappened) {
    struct Case {
        Answer answer;
        const char* failureContains; // nullptr: a picture
    };
    const Case cases[] = {
        {Answer::WithPicture, nullptr},  {Answer::BeforeReply, nullptr},
        {Answer::OnItsOwnPath, nullptr}, {Answer::Cancelled, "cancelled"},
        {Answer::Refused, "refused"},    {Answer::NoScreenshotMethod, "offers no screenshots"},
    };
    FakePortal portal;
    publish(portal);
    PortalScreenshot screenshot(client());
    for (const Case& c : cases) {
        const QString picture = writePicture(m_dir.path(), "shot.png", {64, 48});
        portal.uri = QUrl::fromLocalFile(picture).toString();
        portal.answer = c.answer;
        const PortalShot shot = screenshot.take(m_pump, 5);
        const int answer = int(c.answer);
        if (c.failureContains == nullptr) {
            EXPECT_TRUE(shot.failure.isEmpty()) << answer << ": " << shot.failure.toStdString();
            EXPECT_EQ(shot.image.size(), QSize(64, 48)) << answer;
            EXPECT_EQ(shot.image.format(), QImage::Format_RGB32) << answer;
            EXPECT_EQ(shot.image.pixel(1, 2), qRgb(200, 100, 50)) << answer;
            // Read, and removed wherever it lay.
            EXPECT_FALSE(QFileInfo::exists(picture)) << answer;
        } else {
            EXPECT_TRUE(shot.image.isNull()) << answer;
            EXPECT_TRUE(shot.failure.contains(c.failureContains))
                << answer << ": " << shot.failure.toStdString();
        }
    }
    // Asked without a dialog, with a token of its own each time.
    EXPECT_EQ(portal.lastOptions.value("interactive"), QVariant(false));
    EXPECT_TRUE(portal.lastOptions.value("handle_token").toString().startsWith("zentrim"));
}

TEST_F(PortalOnPrivateBus, NoPortalAndNoAnswerAreReportedInTime) {
    PortalScreenshot screenshot(client());
    PortalShot shot = screenshot.take(m_pump, 5);
    EXPECT_TRUE(shot.failure.contains("No desktop portal is running"))
        << shot.failure.toStdString();

    FakePortal portal;
    portal.answer = Answer::Never;
    publish(portal);
    const double start = m_pump.now();
    shot = screenshot.take(m_pump, 0.3);
    const double took = m_pump.now() - start;
    EXPECT_TRUE(shot.failure.contains("within 0.3 s")) << shot.failure.toStdString();
    EXPECT_GE(took, 0.3);
    EXPECT_LT(took, 3.0);
    EXPECT_EQ(portal.calls, 1);
}

TEST_F(PortalOnPrivateBus, TheFreshPictureIsRemovedWhereverItLiesAndAStaleOneRefused) {
    FakePortal portal;
    publish(portal);
    PortalScreenshot screenshot(client());

    // Where portals save: the user's pictures (GNOME), the temporary folder
    // (wlr). Read, then that file removed and nothing beside it.
    const QString name = QString("zentrim-portal-test-%1.png").arg(::getpid());
    ASSERT_TRUE(QDir(m_dir.path()).mkpath("Pictures"));
    const QString pictures = QDir(m_dir.path()).filePath("Pictures");
    const QString neighbour = writePicture(pictures, "Screenshot-1.png", {4, 4});
    for (const QString& dir : {pictures, QDir::tempPath()}) {
        const QString fresh = writePicture(dir, name, {32, 16});
        portal.uri = QUrl::fromLocalFile(fresh).toString();
        const PortalShot shot = screenshot.take(m_pump, 5);
        EXPECT_EQ(shot.image.size(), QSize(32, 16)) << shot.failure.toStdString();
        EXPECT_FALSE(QFileInfo::exists(fresh)) << fresh.toStdString();
    }
    EXPECT_TRUE(QFileInfo::exists(neighbour));

    // A picture with a second name (a hard link elsewhere): read, and both
    // names kept, since removing one would not free it.
    const QString linked = writePicture(pictures, name, {32, 16});
    const QString other = QDir(m_dir.path()).filePath("kept.png");
    ASSERT_EQ(::link(QFile::encodeName(linked).constData(), QFile::encodeName(other).constData()),
              0);
    portal.uri = QUrl::fromLocalFile(linked).toString();
    PortalShot shot = screenshot.take(m_pump, 5);
    EXPECT_EQ(shot.image.size(), QSize(32, 16)) << shot.failure.toStdString();
    EXPECT_TRUE(QFileInfo::exists(linked) && QFileInfo::exists(other));

    // The same name left from long ago: not this request's picture, and kept.
    const QString stale = writePicture(QDir::tempPath(), name, {32, 16});
    QFile file(stale);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTime().addSecs(-60),
                                 QFileDevice::FileModificationTime));
    file.close();
    portal.uri = QUrl::fromLocalFile(stale).toString();
    shot = screenshot.take(m_pump, 5);
    EXPECT_TRUE(shot.image.isNull());
    EXPECT_TRUE(shot.failure.contains("older than the request")) << shot.failure.toStdString();
    EXPECT_TRUE(QFileInfo::exists(stale));
    QFile::remove(stale);

    // A symbolic link in its place is not followed; neither is a file that
    // is not a picture, nor a remote address.
    const QString target = writePicture(m_dir.path(), "target.png", {8, 8});
    const QString link = QDir(m_dir.path()).filePath("link.png");
    ASSERT_TRUE(QFile::link(target, link));
    const QString notPicture = QDir(m_dir.path()).filePath("notes.png");
    QFile text(notPicture);
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not a picture");
    text.close();
    struct Case {
        QString uri;
        const char* failureContains;
    };
    const Case cases[] = {
        {QUrl::fromLocalFile(link).toString(), "could not be opened"},
        {QUrl::fromLocalFile(notPicture).toString(), "not a picture"},
        {"https://example.org/shot.png", "no picture file"},
        {"", "no picture file"},
    };
    for (const Case& c : cases) {
        portal.uri = c.uri;
        shot = screenshot.take(m_pump, 5);
        EXPECT_TRUE(shot.image.isNull()) << c.uri.toStdString();
        EXPECT_TRUE(shot.failure.contains(c.failureContains))
            << c.uri.toStdString() << ": " << shot.failure.toStdString();
    }
    EXPECT_TRUE(QFileInfo::exists(target));
}

TEST_F(PortalOnPrivateBus, TheCaptureBackendGivesThePrimaryScreenOrSaysWhyNot) {
    FakePortal portal;
    publish(portal);
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    PortalCapture capture(client(), 5);
    EXPECT_EQ(capture.name(), QStringLiteral("portal"));

    portal.uri = QUrl::fromLocalFile(writePicture(m_dir.path(), "screen.png", screen)).toString();
    CaptureResult result = capture.grabPrimary(m_pump);
    ASSERT_TRUE(result.ok()) << result.failure().toStdString();
    EXPECT_EQ(result.image().size(), screen);
    EXPECT_EQ(result.image().pixel(1, 2), qRgb(200, 100, 50));

    // Half the size: a scaled picture, not the screen's pixels.
    portal.uri = QUrl::fromLocalFile(writePicture(m_dir.path(), "half.png", screen / 2)).toString();
    result = capture.grabPrimary(m_pump);
    EXPECT_FALSE(result.ok());
    EXPECT_TRUE(result.failure().contains("pixel for pixel")) << result.failure().toStdString();

    portal.answer = Answer::Refused;
    result = capture.grabPrimary(m_pump);
    EXPECT_FALSE(result.ok());
    EXPECT_TRUE(result.failure().contains("refused")) << result.failure().toStdString();
}

TEST(ChooseScreenCapture, WaylandSessionsUseThePortalWithoutScreencopy) {
    // No compositor answers here, so none offers screencopy.
    const QByteArray saved = qgetenv("WAYLAND_DISPLAY");
    qputenv("WAYLAND_DISPLAY", "zentrim-test-no-such-compositor");
    const auto restore = qScopeGuard(
        [&] { saved.isNull() ? qunsetenv("WAYLAND_DISPLAY") : qputenv("WAYLAND_DISPLAY", saved); });
    struct Case {
        const char* platform;
        const char* sessionType;
    };
    // Qt's wayland platform, and XWayland inside a Wayland session.
    for (const Case& c :
         {Case{"wayland", "wayland"}, Case{"wayland", ""}, Case{"xcb", "wayland"}}) {
        CaptureSession session;
        session.qtPlatform = QString::fromLatin1(c.platform);
        session.sessionType = QString::fromLatin1(c.sessionType);
        const auto capture = chooseScreenCapture(session);
        ASSERT_NE(capture, nullptr);
        EXPECT_EQ(capture->name(), QStringLiteral("portal"))
            << c.platform << " / " << c.sessionType;
    }
}

} // namespace
} // namespace zs

#include "portal_screenshot_test.moc"
