#include "x11_clipboard_transfers.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace zs::x11 {

namespace {

constexpr qsizetype kPiece = qsizetype(1) << 20;
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

ClipboardTransfers::ClipboardTransfers(xcb_connection_t* connection) : m_conn(connection) {
    m_clipboard = intern(m_conn, "CLIPBOARD");
    m_incr = intern(m_conn, "INCR");
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
        forget(static_cast<const xcb_destroy_notify_event_t*>(message)->window);
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
    if (bytes.size() <= kPiece) {
        return false; // one property: Qt does the same
    }
    std::erase_if(m_transfers, [&](const Transfer& t) {
        return t.requestor == request.requestor && t.property == request.property;
    });
    // Watch the requestor's properties before it learns of the transfer.
    watch(request.requestor, true);
    const auto size = static_cast<std::uint32_t>(std::min<qsizetype>(bytes.size(), 0x7FFFFFFF));
    xcb_change_property(m_conn, XCB_PROP_MODE_REPLACE, request.requestor, request.property, m_incr,
                        32, 1, &size);
    m_transfers.push_back(Transfer{request.requestor, request.property, request.target,
                                   std::move(bytes), 0, Clock::now() + kTimeout});

    xcb_selection_notify_event_t notify{};
    notify.response_type = XCB_SELECTION_NOTIFY;
    notify.time = request.time;
    notify.requestor = request.requestor;
    notify.selection = request.selection;
    notify.target = request.target;
    notify.property = request.property;
    char wire[32] = {}; // SendEvent always carries 32 bytes
    std::memcpy(wire, &notify, sizeof notify);
    xcb_send_event(m_conn, 0, request.requestor, XCB_EVENT_MASK_NO_EVENT, wire);
    xcb_flush(m_conn);
    if (!m_expiry.isActive()) {
        m_expiry.start(1000);
    }
    return true;
}

// Each deletion by the requestor asks for the next piece; an empty piece
// after the last one ends the transfer.
bool ClipboardTransfers::onPropertyDeleted(xcb_window_t window, xcb_atom_t property) {
    const auto it = std::find_if(m_transfers.begin(), m_transfers.end(), [&](const Transfer& t) {
        return t.requestor == window && t.property == property;
    });
    if (it == m_transfers.end()) {
        return false;
    }
    const qsizetype piece = std::min(kPiece, it->bytes.size() - it->offset);
    xcb_change_property(m_conn, XCB_PROP_MODE_REPLACE, window, property, it->type, 8,
                        static_cast<std::uint32_t>(piece), it->bytes.constData() + it->offset);
    it->offset += piece;
    it->deadline = Clock::now() + kTimeout;
    if (piece == 0) {
        m_transfers.erase(it);
        if (std::none_of(m_transfers.begin(), m_transfers.end(),
                         [&](const Transfer& t) { return t.requestor == window; })) {
            watch(window, false);
        }
    }
    xcb_flush(m_conn);
    return true;
}

void ClipboardTransfers::forget(xcb_window_t window) {
    std::erase_if(m_transfers, [&](const Transfer& t) { return t.requestor == window; });
}

void ClipboardTransfers::watch(xcb_window_t window, bool on) {
    const std::uint32_t mask =
        on ? XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY : 0;
    xcb_change_window_attributes(m_conn, window, XCB_CW_EVENT_MASK, &mask);
}

void ClipboardTransfers::dropExpired() {
    const auto now = Clock::now();
    std::vector<xcb_window_t> dropped;
    std::erase_if(m_transfers, [&](const Transfer& t) {
        if (t.deadline > now) {
            return false;
        }
        dropped.push_back(t.requestor);
        return true;
    });
    for (const xcb_window_t window : dropped) {
        if (std::none_of(m_transfers.begin(), m_transfers.end(),
                         [&](const Transfer& t) { return t.requestor == window; })) {
            watch(window, false);
        }
    }
    xcb_flush(m_conn);
    if (m_transfers.empty()) {
        m_expiry.stop();
    }
}

} // namespace zs::x11
