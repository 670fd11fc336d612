#include "clipboard/x11_clipboard_transfers.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>

#include <algorithm>
#include <cstdlib>

namespace zs::x11 {

namespace {

// Pieces are at most 1 MiB, less where the server takes shorter requests.
constexpr std::size_t kMaxPiece = std::size_t(1) << 20;
// A reader that stops reading for this long is given up.
constexpr auto kTimeout = std::chrono::seconds(5);

xcb_atom_t intern(xcb_connection_t* c, const QByteArray& name) {
    auto* reply = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(name.size()), name.constData()),
        nullptr);
    const xcb_atom_t atom = reply != nullptr ? reply->atom : XCB_NONE;
    std::free(reply);
    return atom;
}

} // namespace

ClipboardTransfers::ClipboardTransfers(xcb_connection_t* connection)
    : m_conn(connection),
      m_piece(pieceSize(xcb_get_maximum_request_length(connection), kMaxPiece)) {
    m_clipboard = intern(m_conn, "CLIPBOARD");
    m_transfers.emplace(m_conn, intern(m_conn, "INCR"), m_piece, kTimeout);
    for (const QString& format : ClipboardPayload::formats()) {
        m_formats.push_back(intern(m_conn, format.toLatin1()));
    }
    QObject::connect(&m_expiry, &QTimer::timeout, [this] { dropExpired(); });
    QCoreApplication::instance()->installNativeEventFilter(this);
}

ClipboardTransfers::~ClipboardTransfers() {
    if (QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->removeNativeEventFilter(this);
    }
}

bool ClipboardTransfers::nativeEventFilter(const QByteArray& eventType, void* message,
                                           qintptr* /*result*/) {
    if (eventType != "xcb_generic_event_t") {
        return false;
    }
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    switch (event->response_type & 0x7F) {
    case XCB_SELECTION_REQUEST:
        return onSelectionRequest(*static_cast<const xcb_selection_request_event_t*>(message));
    case XCB_PROPERTY_NOTIFY: {
        const auto* notify = static_cast<const xcb_property_notify_event_t*>(message);
        return notify->state == XCB_PROPERTY_DELETE &&
               onPropertyDeleted(notify->window, notify->atom);
    }
    case XCB_DESTROY_NOTIFY:
        m_transfers->forget(static_cast<const xcb_destroy_notify_event_t*>(message)->window);
        return false;
    default:
        return false;
    }
}

bool ClipboardTransfers::onSelectionRequest(const xcb_selection_request_event_t& request) {
    const auto found = std::find(m_formats.begin(), m_formats.end(), request.target);
    if (request.selection != m_clipboard || request.target == XCB_NONE ||
        found == m_formats.end() || request.property == XCB_NONE) {
        return false;
    }
    const std::shared_ptr<ClipboardPayload> payload = m_payload.lock();
    if (payload == nullptr || !QGuiApplication::clipboard()->ownsClipboard()) {
        return false; // not our picture: Qt answers as it knows
    }
    QByteArray bytes =
        payload->data(ClipboardPayload::formats()[static_cast<int>(found - m_formats.begin())]);
    if (static_cast<std::size_t>(bytes.size()) <= m_piece) {
        return false; // one property: Qt does the same
    }
    // The transfer holds the bytes (shared with the payload's) until it ends.
    auto held = std::make_shared<const QByteArray>(std::move(bytes));
    const auto* data = reinterpret_cast<const unsigned char*>(held->constData());
    const auto size = static_cast<std::size_t>(held->size());
    m_transfers->start(request.requestor, request.property, request.target, data, size,
                       std::move(held));
    notifyRequestor(m_conn, request, request.property);
    xcb_flush(m_conn);
    if (!m_expiry.isActive()) {
        m_expiry.start(1000);
    }
    return true;
}

// Each deletion by the requestor asks for the next piece; an empty piece
// after the last one ends the transfer.
bool ClipboardTransfers::onPropertyDeleted(xcb_window_t window, xcb_atom_t property) {
    if (!m_transfers->onPropertyDeleted(window, property)) {
        return false;
    }
    xcb_flush(m_conn);
    return true;
}

void ClipboardTransfers::dropExpired() {
    m_transfers->dropExpired();
    xcb_flush(m_conn);
    if (m_transfers->empty()) {
        m_expiry.stop();
    }
}

} // namespace zs::x11
