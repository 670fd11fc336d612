#include "keeper/shared/x11_selection.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

namespace zs::x11 {

void notifyRequestor(xcb_connection_t* connection, const xcb_selection_request_event_t& request,
                     xcb_atom_t property) {
    xcb_selection_notify_event_t notify{};
    notify.response_type = XCB_SELECTION_NOTIFY;
    notify.time = request.time;
    notify.requestor = request.requestor;
    notify.selection = request.selection;
    notify.target = request.target;
    notify.property = property;
    // SendEvent always carries 32 bytes; the notify event is shorter.
    char wire[32] = {};
    static_assert(sizeof notify <= sizeof wire);
    std::memcpy(wire, &notify, sizeof notify);
    xcb_send_event(connection, 0, request.requestor, XCB_EVENT_MASK_NO_EVENT, wire);
}

std::size_t pieceSize(std::uint32_t maxRequestWords, std::size_t cap) {
    // The request's own header is 24 bytes (28 with BIG-REQUESTS); keep
    // well clear of the limit.
    const std::size_t maxRequest = std::size_t(maxRequestWords) * 4;
    return std::min(cap, maxRequest > 1024 ? maxRequest - 64 : std::size_t(256));
}

IncrSender::IncrSender(xcb_connection_t* connection, xcb_atom_t incr, std::size_t piece,
                       Clock::duration timeout)
    : m_conn(connection), m_incr(incr), m_piece(piece), m_timeout(timeout) {}

void IncrSender::start(xcb_window_t requestor, xcb_atom_t property, xcb_atom_t type,
                       const unsigned char* data, std::size_t size,
                       std::shared_ptr<const void> keep) {
    std::erase_if(m_transfers, [&](const Transfer& t) {
        return t.requestor == requestor && t.property == property;
    });
    // Watch the requestor's properties before it learns of the transfer.
    watch(requestor, true);
    // The announced size is a lower bound, an INTEGER (signed 32 bits).
    const auto announced = static_cast<std::uint32_t>(std::min<std::size_t>(size, 0x7FFFFFFF));
    xcb_change_property(m_conn, XCB_PROP_MODE_REPLACE, requestor, property, m_incr, 32, 1,
                        &announced);
    m_transfers.push_back(Transfer{requestor, property, type, data, size, std::move(keep), 0,
                                   Clock::now() + m_timeout});
}

bool IncrSender::onPropertyDeleted(xcb_window_t window, xcb_atom_t property) {
    const auto it = std::find_if(m_transfers.begin(), m_transfers.end(), [&](const Transfer& t) {
        return t.requestor == window && t.property == property;
    });
    if (it == m_transfers.end()) {
        return false;
    }
    const std::size_t piece = std::min(m_piece, it->size - it->offset);
    xcb_change_property(m_conn, XCB_PROP_MODE_REPLACE, window, property, it->type, 8,
                        static_cast<std::uint32_t>(piece), it->data + it->offset);
    it->offset += piece;
    it->deadline = Clock::now() + m_timeout;
    if (piece == 0) {
        m_transfers.erase(it);
        if (!sending(window)) {
            watch(window, false);
        }
    }
    return true;
}

void IncrSender::forget(xcb_window_t window) {
    std::erase_if(m_transfers, [&](const Transfer& t) { return t.requestor == window; });
}

void IncrSender::dropExpired() {
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
        if (!sending(window)) {
            watch(window, false);
        }
    }
}

int IncrSender::msToNextDeadline() const {
    if (m_transfers.empty()) {
        return -1;
    }
    auto nearest = m_transfers.front().deadline;
    for (const Transfer& t : m_transfers) {
        nearest = std::min(nearest, t.deadline);
    }
    const auto wait =
        std::chrono::duration_cast<std::chrono::milliseconds>(nearest - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(wait + 1, 0, 60'000));
}

bool IncrSender::sending(xcb_window_t window) const {
    return std::any_of(m_transfers.begin(), m_transfers.end(),
                       [&](const Transfer& t) { return t.requestor == window; });
}

void IncrSender::watch(xcb_window_t window, bool on) {
    const std::uint32_t mask =
        on ? XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY : 0;
    xcb_change_window_attributes(m_conn, window, XCB_CW_EVENT_MASK, &mask);
}

} // namespace zs::x11
