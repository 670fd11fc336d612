#include "clipboard/qt_clipboard.h"
#include "clipboard/helper_handoff.h"
#include "clipboard/x11_clipboard_transfers.h"
#include "services/qt/x11_connection.h"
#include "services/session_kind.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace zs {

namespace {

const QString kQtImage = QStringLiteral("application/x-qt-image");

// The crop on the clipboard. Other programs see exactly the payload's
// formats. Qt's in-process image type is answered (QClipboard::image()
// inside the program gets the QImage itself, no file made) but not listed:
// when it is listed, Qt announces every format its image writers know
// (thirteen on a usual system) and, on Wayland, encodes PNG itself the slow
// way instead of asking us.
class PayloadMimeData final : public QMimeData {
public:
    // `marker`, when given, is offered too, without data: the clipboard
    // helper's sign that the clipboard is still ours (Wayland).
    PayloadMimeData(std::shared_ptr<ClipboardPayload> payload, QString marker)
        : m_payload(std::move(payload)), m_formats(ClipboardPayload::formats()) {
        if (!marker.isEmpty()) {
            m_formats.append(std::move(marker));
        }
    }

    QStringList formats() const override { return m_formats; }
    bool hasFormat(const QString& mimeType) const override { return m_formats.contains(mimeType); }

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override {
        if (mimeType == kQtImage) {
            return QVariant(m_payload->image());
        }
        if (!ClipboardPayload::formats().contains(mimeType)) {
            return hasFormat(mimeType) ? QVariant(QByteArray()) : QVariant();
        }
        (void)type; // a file's bytes are all we have; Qt converts from them
        return QVariant(m_payload->data(mimeType));
    }

private:
    std::shared_ptr<ClipboardPayload> m_payload;
    QStringList m_formats;
};

} // namespace

QtClipboard::QtClipboard() = default;
QtClipboard::~QtClipboard() = default;

void QtClipboard::clear() {
    QGuiApplication::clipboard()->clear();
}

void QtClipboard::setImage(const QImage& image) {
    if (image.isNull()) {
        QGuiApplication::clipboard()->clear();
        return;
    }
    auto payload = std::make_shared<ClipboardPayload>(image);
    m_current = payload;
    if (m_transfers == nullptr && x11::connection() != nullptr) {
        m_transfers = std::make_unique<x11::ClipboardTransfers>(x11::connection());
    }
    if (m_transfers != nullptr) {
        m_transfers->setPayload(payload);
    }
    // The clipboard owns the mime data and, through it, the payload; ours is
    // only a weak reference, so a crop another program has replaced is freed.
    const bool wayland = currentSessionKind() == SessionKind::Wayland;
    QGuiApplication::clipboard()->setMimeData(
        new PayloadMimeData(std::move(payload), wayland ? keeper::waylandMarkerType() : QString()));
}

void QtClipboard::keepAfterExit() {
    const std::shared_ptr<ClipboardPayload> payload = m_current.lock();
    if (payload == nullptr || !QGuiApplication::clipboard()->ownsClipboard()) {
        return;
    }
    keeper::keepAfterExit(*payload);
}

bool QtClipboard::holdsCrop() const {
    return !m_current.expired() && QGuiApplication::clipboard()->ownsClipboard();
}

} // namespace zs
