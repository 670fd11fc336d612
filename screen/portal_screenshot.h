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
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
};

// Why the file may not be taken as this request's picture (empty: it may).
// The portal runs as the user and writes the picture for each request, so a
// file of somebody else, or one last changed before the request was sent,
// is not the screen now (a portal that failed to write may still name it).
QString portalFileProblem(const PortalFileFacts& file, unsigned ourUid, std::int64_t requestSentNs);

// Whether the portal's file, once read as this request's picture, may be
// removed: the name still leads to the very file read (`now`, from lstat
// of the name, against `read`), and that file has no other name. Portals
// save every picture (GNOME's in the user's Pictures or home folder, the
// wlr one in /tmp) and leave it to the caller, wherever it lies.
bool portalFileMayBeRemoved(const PortalFileFacts& read, const PortalFileFacts& now);

// Where the primary screen lies in a portal picture of `shotSize` device
// pixels. The picture shows either just the primary screen (size equal to
// its device size, `primaryDevice`) or the whole desktop, whose rectangle in
// Qt's coordinates is `desktop`; `primary` is the primary screen's rectangle
// there. Returns an empty rectangle when the picture fits neither, or shows
// the primary screen at another scale than its device pixels.
QRect primaryRectInShot(const QSize& shotSize, const QRect& desktop, const QRect& primary,
                        const QSize& primaryDevice);

// One request to the portal: non-interactive, no parent window.
class PortalScreenshot {
public:
    explicit PortalScreenshot(QDBusConnection bus = QDBusConnection::sessionBus());

    // Asks for a screenshot and waits for the answer, processing events, for
    // at most `timeoutSeconds`. Reads the picture the portal names and
    // removes that file (portalFileMayBeRemoved()).
    PortalShot take(IEventPump& pump, double timeoutSeconds);

private:
    QDBusConnection m_bus;
};

} // namespace zs
