#include "screen/portal_screenshot.h"

#include "services/screen_capture.h"
#include "services/services.h"
#include "services/unique_fd.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusPendingReply>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QUrl>
#include <QVariantMap>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace zs {

namespace {

const char* const kPortalService = "org.freedesktop.portal.Desktop";
const char* const kPortalPath = "/org/freedesktop/portal/desktop";
const char* const kScreenshotInterface = "org.freedesktop.portal.Screenshot";
const char* const kRequestInterface = "org.freedesktop.portal.Request";

// The largest picture file read (a 16K x 8K screen as BMP is 512 MiB).
constexpr qint64 kMaxFileBytes = qint64(512) << 20;

// A file written within the second before the request still counts as
// fresh: some file systems keep whole seconds.
constexpr std::int64_t kFreshnessSlackNs = 1'000'000'000;

std::int64_t wallClockNs() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return std::int64_t(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

// Waits, processing events, until `done()` or the clock reaches `end`.
bool waitUntilEnd(IEventPump& pump, double end, const std::function<bool()>& done) {
    return waitUntil(pump, end - pump.now(), done);
}

// The request's path as the portal makes it from our bus name and the token
// we choose: ":1.42" and "t" give .../request/1_42/t.
QString requestPath(const QString& uniqueName, const QString& token) {
    QString sender = uniqueName.startsWith(QLatin1Char(':')) ? uniqueName.mid(1) : uniqueName;
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    return QStringLiteral("%1/request/%2/%3").arg(QLatin1String(kPortalPath), sender, token);
}

QString dbusFailure(const QDBusError& error) {
    switch (error.type()) {
    case QDBusError::ServiceUnknown:
        return QStringLiteral("No desktop portal is running (%1), so the screen cannot be read "
                              "on this desktop.")
            .arg(QLatin1String(kPortalService));
    case QDBusError::UnknownInterface:
    case QDBusError::UnknownMethod:
    case QDBusError::UnknownObject:
        return QStringLiteral("The desktop portal offers no screenshots (%1).")
            .arg(QLatin1String(kScreenshotInterface));
    case QDBusError::AccessDenied:
        return QStringLiteral("The desktop portal refused the screenshot: %1").arg(error.message());
    default:
        return QStringLiteral("The desktop portal failed: %1").arg(error.message());
    }
}

} // namespace

// Receives the Response signal of one request.
class PortalResponse : public QObject {
    Q_OBJECT
public:
    bool answered = false;
    uint code = 2;
    QVariantMap results;

    // A slot by name: the D-Bus connection connects to it by its signature.
public slots: // NOLINT(readability-redundant-access-specifiers): moc needs the slots section
    void onResponse(uint response, const QVariantMap& values) {
        if (answered) {
            return;
        }
        answered = true;
        code = response;
        results = values;
    }
};

namespace {

// A subscription to one request's Response, dropped when it goes out of scope.
class ResponseSubscription {
public:
    ResponseSubscription(QDBusConnection& bus, PortalResponse& receiver, QString path)
        : m_bus(bus), m_receiver(receiver), m_path(std::move(path)) {
        m_connected = m_bus.connect(QLatin1String(kPortalService), m_path,
                                    QLatin1String(kRequestInterface), QStringLiteral("Response"),
                                    &m_receiver, SLOT(onResponse(uint, QVariantMap)));
    }
    ~ResponseSubscription() {
        if (m_connected) {
            m_bus.disconnect(QLatin1String(kPortalService), m_path,
                             QLatin1String(kRequestInterface), QStringLiteral("Response"),
                             &m_receiver, SLOT(onResponse(uint, QVariantMap)));
        }
    }
    ResponseSubscription(const ResponseSubscription&) = delete;
    ResponseSubscription& operator=(const ResponseSubscription&) = delete;

    bool connected() const { return m_connected; }
    const QString& path() const { return m_path; }

private:
    QDBusConnection& m_bus;
    PortalResponse& m_receiver;
    QString m_path;
    bool m_connected = false;
};

PortalFileFacts factsOf(const struct stat& st) {
    PortalFileFacts f;
    f.regular = S_ISREG(st.st_mode);
    f.ownerUid = st.st_uid;
    f.links = st.st_nlink;
    f.modifiedNs = std::int64_t(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
    f.device = st.st_dev;
    f.inode = st.st_ino;
    return f;
}

// Removes `path`, the picture read as `read`, when the name still leads to
// it. The folder is held open while the name is looked at and removed, so a
// folder swapped for another in between cannot redirect the removal.
void removePortalFile(const QString& path, const PortalFileFacts& read) {
    const QFileInfo info(path);
    UniqueFd dir(::open(QFile::encodeName(info.absolutePath()).constData(),
                        O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    const QByteArray name = QFile::encodeName(info.fileName());
    struct stat now {};
    if (dir.get() >= 0 && ::fstatat(dir.get(), name.constData(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
        portalFileMayBeRemoved(read, factsOf(now))) {
        ::unlinkat(dir.get(), name.constData(), 0);
    }
}

// Reads the picture the portal saved at `uri`, then removes the file.
PortalShot readPortalFile(const QString& uri, std::int64_t requestSentNs) {
    PortalShot shot;
    const QUrl url(uri);
    if (!url.isLocalFile()) {
        shot.failure =
            QStringLiteral("The desktop portal gave no picture file (it answered \"%1\").")
                .arg(uri);
        return shot;
    }
    const QString path = url.toLocalFile();
    const QByteArray native = QFile::encodeName(path);
    // No symbolic links: the portal writes the file itself.
    UniqueFd fd(::open(native.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (fd.get() < 0) {
        shot.failure = QStringLiteral("The screenshot %1 could not be opened: %2")
                           .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return shot;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        shot.failure = QStringLiteral("The screenshot %1 could not be examined.").arg(path);
        return shot;
    }
    const PortalFileFacts facts = factsOf(st);
    const QString problem = portalFileProblem(facts, ::geteuid(), requestSentNs);
    if (!problem.isEmpty()) {
        shot.failure = QStringLiteral("The screenshot %1 is not usable: %2").arg(path, problem);
        return shot;
    }
    if (st.st_size > kMaxFileBytes) {
        shot.failure = QStringLiteral("The screenshot %1 is too large to read.").arg(path);
        return shot;
    }
    QByteArray bytes;
    bytes.resize(qsizetype(st.st_size));
    qsizetype got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd.get(), bytes.data() + got, size_t(bytes.size() - got));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        got += n;
    }
    bytes.truncate(got);
    QImage image = QImage::fromData(bytes);
    if (image.isNull()) {
        shot.failure =
            QStringLiteral("The screenshot %1 is not a picture this program can read.").arg(path);
        return shot;
    }
    removePortalFile(path, facts);
    shot.image = image.convertToFormat(QImage::Format_RGB32);
    return shot;
}

} // namespace

QString portalFileProblem(const PortalFileFacts& file, unsigned ourUid,
                          std::int64_t requestSentNs) {
    if (!file.regular) {
        return QStringLiteral("it is not a regular file.");
    }
    if (file.ownerUid != ourUid) {
        return QStringLiteral("it belongs to another user.");
    }
    if (file.modifiedNs < requestSentNs - kFreshnessSlackNs) {
        return QStringLiteral("it is older than the request, so the portal did not write it now.");
    }
    return {};
}

bool portalFileMayBeRemoved(const PortalFileFacts& read, const PortalFileFacts& now) {
    return now.regular && now.device == read.device && now.inode == read.inode && now.links == 1;
}

QRect primaryRectInShot(const QSize& shotSize, const QRect& desktop, const QRect& primary,
                        const QSize& primaryDevice) {
    if (shotSize.isEmpty() || primary.isEmpty() || desktop.isEmpty() || primaryDevice.isEmpty()) {
        return {};
    }
    if (shotSize == primaryDevice) {
        return QRect(QPoint(0, 0), shotSize);
    }
    // The whole desktop: one scale from logical to the picture's pixels.
    const double sx = double(shotSize.width()) / desktop.width();
    const double sy = double(shotSize.height()) / desktop.height();
    const QRect inShot(
        QPoint(qRound((primary.x() - desktop.x()) * sx), qRound((primary.y() - desktop.y()) * sy)),
        QSize(qRound(primary.width() * sx), qRound(primary.height() * sy)));
    // A picture scaled away from the primary's device pixels is no copy of it.
    const bool oneToOne = std::abs(inShot.width() - primaryDevice.width()) <= 1 &&
                          std::abs(inShot.height() - primaryDevice.height()) <= 1;
    const QRect clipped = inShot & QRect(QPoint(0, 0), shotSize);
    return oneToOne && clipped == inShot ? inShot : QRect();
}

PortalScreenshot::PortalScreenshot(QDBusConnection bus) : m_bus(std::move(bus)) {}

PortalShot PortalScreenshot::take(IEventPump& pump, double timeoutSeconds) {
    PortalShot shot;
    if (!m_bus.isConnected()) {
        shot.failure = QStringLiteral("There is no D-Bus session, so the desktop portal that reads "
                                      "the screen cannot be reached.");
        return shot;
    }
    const double end = pump.now() + timeoutSeconds;
    static unsigned serial = 0;
    const QString token = QStringLiteral("zentrim%1_%2").arg(::getpid()).arg(++serial);

    // Subscribe before asking: the answer may come before the call returns.
    PortalResponse response;
    auto subscription = std::make_unique<ResponseSubscription>(
        m_bus, response, requestPath(m_bus.baseService(), token));

    QDBusMessage call = QDBusMessage::createMethodCall(
        QLatin1String(kPortalService), QLatin1String(kPortalPath),
        QLatin1String(kScreenshotInterface), QStringLiteral("Screenshot"));
    QVariantMap options;
    options.insert(QStringLiteral("handle_token"), token);
    options.insert(QStringLiteral("interactive"), false);
    options.insert(QStringLiteral("modal"), false);
    call << QString() << options;
    const std::int64_t sentNs = wallClockNs();
    const int callTimeoutMs = std::max(1, int(std::lround(timeoutSeconds * 1000)));
    QDBusPendingCall pending = m_bus.asyncCall(call, callTimeoutMs);
    if (!waitUntilEnd(pump, end, [&] { return pending.isFinished(); })) {
        shot.failure =
            QStringLiteral("The desktop portal did not answer within %1 s.").arg(timeoutSeconds);
        return shot;
    }
    QDBusPendingReply<QDBusObjectPath> reply = pending;
    if (reply.isError()) {
        shot.failure = dbusFailure(reply.error());
        return shot;
    }
    // Portals before version 0.9 of the interface choose their own path.
    const QString handle = reply.value().path();
    if (handle != subscription->path() && !response.answered) {
        subscription.reset();
        subscription = std::make_unique<ResponseSubscription>(m_bus, response, handle);
    }
    if (!subscription->connected()) {
        shot.failure = QStringLiteral("Could not listen for the desktop portal's answer.");
        return shot;
    }
    if (!waitUntilEnd(pump, end, [&] { return response.answered; })) {
        // Tell the portal we no longer wait (it may be showing a dialog).
        m_bus.call(QDBusMessage::createMethodCall(QLatin1String(kPortalService), handle,
                                                  QLatin1String(kRequestInterface),
                                                  QStringLiteral("Close")),
                   QDBus::NoBlock);
        shot.failure =
            QStringLiteral("The desktop portal did not deliver the screenshot within %1 s.")
                .arg(timeoutSeconds);
        return shot;
    }
    switch (response.code) {
    case 0:
        break;
    case 1:
        shot.failure = QStringLiteral("The screenshot was cancelled.");
        return shot;
    default:
        shot.failure = QStringLiteral("The desktop portal refused the screenshot (not allowed, or "
                                      "it failed to read the screen).");
        return shot;
    }
    const QString uri = response.results.value(QStringLiteral("uri")).toString();
    return readPortalFile(uri, sentNs);
}

} // namespace zs

#include "portal_screenshot.moc"
