#pragma once

#include "keeper/shared/handoff.h"
#include "keeper/shared/x11_selection.h"

#include <xcb/xcb.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Owns the X11 CLIPBOARD selection and serves a fixed set of targets to
// whoever asks, with no window on the screen (an unmapped input-only window
// holds the selection). Speaks the ICCCM selection protocol: TARGETS,
// TIMESTAMP, MULTIPLE, and INCR for data larger than one request.
namespace zs::keeper {

class X11ClipboardOwner {
public:
    enum class Take {
        Taken,   // we own the clipboard now
        Changed, // it no longer belongs to the expected owner: left alone
        Failed,  // the server refused
    };

    explicit X11ClipboardOwner(std::vector<handoff::Target> targets);
    ~X11ClipboardOwner();
    X11ClipboardOwner(const X11ClipboardOwner&) = delete;
    X11ClipboardOwner& operator=(const X11ClipboardOwner&) = delete;

    // Connects to `display` (empty: $DISPLAY). False with a reason.
    bool connect(const std::string& display, std::string& error);

    // Takes the clipboard, but only while `expectedOwner` still holds it or
    // nobody does (XCB_NONE: whoever holds it).
    Take take(xcb_window_t expectedOwner);

    // Answers requests until another client takes the clipboard (transfers
    // already under way are finished first) or the connection to the X
    // server ends.
    void serve();

    // Largest property written in one piece; bigger data goes by INCR.
    std::size_t chunkSize() const { return m_chunk; }
    xcb_window_t window() const { return m_window; }

private:
    xcb_atom_t intern(const char* name);
    xcb_timestamp_t serverTime();
    void handle(const xcb_generic_event_t* event);
    void onSelectionRequest(const xcb_selection_request_event_t& request);
    // Writes one target into `property` of `requestor`; false if unknown.
    bool convert(xcb_window_t requestor, xcb_atom_t target, xcb_atom_t property);
    bool convertMultiple(xcb_window_t requestor, xcb_atom_t property);

    std::vector<handoff::Target> m_targets;
    std::vector<xcb_atom_t> m_targetAtoms; // parallel to m_targets
    xcb_connection_t* m_conn = nullptr;
    xcb_window_t m_window = XCB_NONE;
    xcb_window_t m_root = XCB_NONE;
    xcb_timestamp_t m_since = XCB_CURRENT_TIME; // when we took the clipboard
    bool m_owner = false;
    std::size_t m_chunk = 0;
    std::optional<x11::IncrSender> m_transfers; // once connected
    struct Atoms {
        xcb_atom_t clipboard, targets, multiple, timestamp, incr, atomPair, marker;
    } m_atoms{};
};

} // namespace zs::keeper
