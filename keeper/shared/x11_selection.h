#pragma once

#include <xcb/xcb.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// The selection owner's side of ICCCM that the program and the clipboard
// helper share: answering a request, and INCR transfers. Events reach them
// from their owner's event handling; the owner also flushes the connection.
namespace zs::x11 {

// Whether server time `time` is `since` or later. Server times count
// milliseconds in 32 bits and wrap every 49.7 days, so they are compared as
// the server does: `time` is later when it lies less than half the range
// ahead of `since`, across the wrap included.
constexpr bool timeAtOrAfter(xcb_timestamp_t time, xcb_timestamp_t since) {
    return static_cast<std::uint32_t>(time - since) < 0x80000000u;
}

// How many bytes of data one ChangeProperty request may carry on a server
// whose maximum request length is `maxRequestWords` (in 4-byte units, as
// xcb_get_maximum_request_length reports it), and at most `cap`. Without
// BIG-REQUESTS that maximum is 256 KiB; a longer request makes xcb close the
// connection.
std::size_t pieceSize(std::uint32_t maxRequestWords, std::size_t cap);

// Tells the requestor that `request` is answered in `property` (XCB_NONE:
// refused).
void notifyRequestor(xcb_connection_t* connection, const xcb_selection_request_event_t& request,
                     xcb_atom_t property);

// Data too large for one property goes in pieces, each written when the
// requestor has deleted the one before; an empty piece ends the transfer.
class IncrSender {
public:
    using Clock = std::chrono::steady_clock;

    // `incr` is the INCR atom; pieces are at most `piece` bytes; a requestor
    // that stops reading for `timeout` is given up.
    IncrSender(xcb_connection_t* connection, xcb_atom_t incr, std::size_t piece,
               Clock::duration timeout);

    // Announces `size` bytes at `data` to `requestor` in `property` (the
    // caller then sends SelectionNotify). `keep` holds the bytes while the
    // transfer lasts; null when they outlive the sender anyway.
    void start(xcb_window_t requestor, xcb_atom_t property, xcb_atom_t type,
               const unsigned char* data, std::size_t size, std::shared_ptr<const void> keep);

    // The requestor deleted `property`: writes the next piece. False when
    // that is no transfer of ours.
    bool onPropertyDeleted(xcb_window_t window, xcb_atom_t property);
    // The requestor window is gone.
    void forget(xcb_window_t window);
    // Gives up transfers past their deadline.
    void dropExpired();

    bool empty() const { return m_transfers.empty(); }
    // Milliseconds until the nearest deadline (-1: no transfer).
    int msToNextDeadline() const;

private:
    struct Transfer {
        xcb_window_t requestor;
        xcb_atom_t property;
        xcb_atom_t type;
        const unsigned char* data;
        std::size_t size;
        std::shared_ptr<const void> keep;
        std::size_t offset = 0;
        Clock::time_point deadline;
    };

    bool sending(xcb_window_t window) const;
    void watch(xcb_window_t window, bool on);

    xcb_connection_t* m_conn;
    xcb_atom_t m_incr;
    std::size_t m_piece;
    Clock::duration m_timeout;
    std::vector<Transfer> m_transfers;
};

} // namespace zs::x11
