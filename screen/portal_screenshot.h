#pragma once

#include <QDBusConnection>
#include <QImage>
#include <QRect>
#include <QString>
#include <QStringList>

#include <cstdint>

// Screenshots through the desktop portal (org.freedesktop.portal.Screenshot),
// the way to read the screen on Wayland, where clients cannot read each
// other's pixels.
namespace zs {

class IEventPump;

// A picture, or the reason there is none, in words for the user.
struct PortalShot {
    QImage image; // Format_RGB32 when taken
    QString failure;
};

// What is known about the file the portal names, from fstat on the opened file.
struct PortalFileFacts {
    bool regular = false;
    unsigned ownerUid = 0;
    std::uint64_t links = 0;
    std::int64_t modifiedNs = 0; // wall clock, nanoseconds since the epoch
};

// Why the file may not be taken as this request's picture (empty: it may).
// The portal runs as the user and writes the picture for each request, so a
// file of somebody else, or one last changed before the request was sent,
// is not the screen now (a portal that failed to write may still name it).
QString portalFileProblem(const PortalFileFacts& file, unsigned ourUid, std::int64_t requestSentNs);

// Whether the portal's file, once read, is a temporary file of ours that we
// remove: fit to read (above), with one link, and directly in one of
// `tempDirs` (the folder a portal uses for files nobody keeps; pictures it
// saves anywhere else, such as the user's pictures folder, stay).
bool portalFileIsTemporary(const PortalFileFacts& file, const QString& canonicalDir,
                           const QStringList& tempDirs);

// Where the primary screen lies in a portal picture of `shotSize` device
// pixels. The picture shows either just the primary screen (size equal to
// its device size) or the whole desktop, whose logical rectangle is
// `desktop`; `primary` is the primary screen's logical rectangle. Returns an
// empty rectangle when the picture fits neither, or shows the primary screen
// at another scale than its device pixels.
QRect primaryRectInShot(const QSize& shotSize, const QRect& desktop, const QRect& primary,
                        double primaryRatio);

// One request to the portal: non-interactive, no parent window.
class PortalScreenshot {
public:
    explicit PortalScreenshot(QDBusConnection bus = QDBusConnection::sessionBus());

    // Asks for a screenshot and waits for the answer, processing events, for
    // at most `timeoutSeconds`. Reads the picture the portal names and
    // removes it when it is a temporary file of ours.
    PortalShot take(IEventPump& pump, double timeoutSeconds);

    // The folders counted as temporary: $TMPDIR (Qt's temporary path) and /tmp.
    static QStringList temporaryDirs();

private:
    QDBusConnection m_bus;
};

} // namespace zs
