#include "keeper/x11_clipboard_owner.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <poll.h>

namespace zs::keeper {

namespace {

// A transfer whose requestor stops reading for this long is given up.
constexpr auto kTransferTimeout = std::chrono::seconds(5);
// Properties are written in pieces of at most this size: larger pieces take
// fewer round trips, but every requestor must hold one piece at a time.
constexpr std::size_t kMaxChunk = std::size_t(1) << 20;

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeDeleter>;

} // namespace

X11ClipboardOwner::X11ClipboardOwner(std::vector<handoff::Target> targets)
    : m_targets(std::move(targets)) {}

X11ClipboardOwner::~X11ClipboardOwner() {
    if (m_conn != nullptr) {
        xcb_disconnect(m_conn);
    }
}

xcb_atom_t X11ClipboardOwner::intern(const char* name) {
    const auto cookie =
        xcb_intern_atom(m_conn, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
    Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(m_conn, cookie, nullptr));
    return reply != nullptr ? reply->atom : XCB_NONE;
}

bool X11ClipboardOwner::connect(const std::string& display, std::string& error) {
    int screenNumber = 0;
    m_conn = xcb_connect(display.empty() ? nullptr : display.c_str(), &screenNumber);
    if (xcb_connection_has_error(m_conn) != 0) {
        error = "cannot connect to the X server" + (display.empty() ? "" : " " + display);
        return false;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(m_conn));
    for (int i = 0; i < screenNumber && it.rem > 0; ++i) {
        xcb_screen_next(&it);
    }
    if (it.rem == 0) {
        error = "the X server has no screen " + std::to_string(screenNumber);
        return false;
    }
    m_root = it.data->root;

    m_atoms.clipboard = intern("CLIPBOARD");
    m_atoms.targets = intern("TARGETS");
    m_atoms.multiple = intern("MULTIPLE");
    m_atoms.timestamp = intern("TIMESTAMP");
    m_atoms.incr = intern("INCR");
    m_atoms.atomPair = intern("ATOM_PAIR");
    m_atoms.marker = intern("_ZENTRIM_CLIPBOARD_TIME");
    for (const handoff::Target& target : m_targets) {
        m_targetAtoms.push_back(intern(target.name.c_str()));
    }
    if (xcb_connection_has_error(m_conn) != 0 || m_atoms.clipboard == XCB_NONE) {
        error = "the X server did not answer";
        return false;
    }

    // The selection needs a window; an input-only one that is never mapped
    // shows nothing.
    m_window = xcb_generate_id(m_conn);
    const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(m_conn, 0, m_window, m_root, -1, -1, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &mask);
    static const char kName[] = "Zentrim Screen clipboard";
    xcb_change_property(m_conn, XCB_PROP_MODE_REPLACE, m_window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING,
                        8, sizeof kName - 1, kName);

    m_chunk = x11::pieceSize(xcb_get_maximum_request_length(m_conn), kMaxChunk);
    m_transfers.emplace(m_conn, m_atoms.incr, m_chunk, kTransferTimeout);
    return true;
}

// The server's time now: the time stamp of a change to our own property.
// ICCCM asks selection owners for a real time rather than CurrentTime.
xcb_timestamp_t X11ClipboardOwner::serverTime() {
    xcb_change_property(m_conn, XCB_PROP_MODE_APPEND, m_window, m_atoms.marker, XCB_ATOM_STRING, 8,
                        0, nullptr);
    xcb_flush(m_conn);
    while (true) {
        Reply<xcb_generic_event_t> event(xcb_wait_for_event(m_conn));
        if (event == nullptr) {
            return XCB_CURRENT_TIME;
        }
        if ((event->response_type & 0x7F) == XCB_PROPERTY_NOTIFY) {
            const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event.get());
            if (notify->window == m_window && notify->atom == m_atoms.marker) {
                return notify->time;
            }
        }
    }
}

X11ClipboardOwner::Take X11ClipboardOwner::take(xcb_window_t expectedOwner) {
    const xcb_timestamp_t now = serverTime();
    if (now == XCB_CURRENT_TIME) {
        return Take::Failed;
    }
    // Checking the owner and taking over under a server grab leaves no gap
    // in which another program's new clipboard could be taken by mistake.
    xcb_grab_server(m_conn);
    Take result = Take::Taken;
    if (expectedOwner != XCB_NONE) {
        Reply<xcb_get_selection_owner_reply_t> owner(xcb_get_selection_owner_reply(
            m_conn, xcb_get_selection_owner(m_conn, m_atoms.clipboard), nullptr));
        // No owner at all is taken too: the program may have ended while
        // the helper was starting, and an empty clipboard holds nobody's copy.
        if (owner == nullptr || (owner->owner != expectedOwner && owner->owner != XCB_NONE)) {
            result = Take::Changed;
        }
    }
    if (result == Take::Taken) {
        xcb_set_selection_owner(m_conn, m_window, m_atoms.clipboard, now);
    }
    xcb_ungrab_server(m_conn);
    if (result != Take::Taken) {
        xcb_flush(m_conn);
        return result;
    }
    Reply<xcb_get_selection_owner_reply_t> owner(xcb_get_selection_owner_reply(
        m_conn, xcb_get_selection_owner(m_conn, m_atoms.clipboard), nullptr));
    if (owner == nullptr || owner->owner != m_window) {
        return Take::Failed;
    }
    m_since = now;
    m_owner = true;
    return Take::Taken;
}

void X11ClipboardOwner::serve() {
    const int fd = xcb_get_file_descriptor(m_conn);
    while (true) {
        while (true) {
            Reply<xcb_generic_event_t> event(xcb_poll_for_event(m_conn));
            if (event == nullptr) {
                break;
            }
            handle(event.get());
        }
        if (xcb_connection_has_error(m_conn) != 0) {
            return; // the display went away
        }
        m_transfers->dropExpired();
        if (!m_owner && m_transfers->empty()) {
            return;
        }
        if (xcb_flush(m_conn) <= 0) {
            return;
        }
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, m_transfers->msToNextDeadline()) < 0 && errno != EINTR) {
            return;
        }
    }
}

void X11ClipboardOwner::handle(const xcb_generic_event_t* event) {
    switch (event->response_type & 0x7F) {
    case 0: {
        // An error, most likely for a requestor window that is gone.
        const auto* error = reinterpret_cast<const xcb_generic_error_t*>(event);
        if (error->error_code == XCB_WINDOW) {
            m_transfers->forget(error->resource_id);
        }
        break;
    }
    case XCB_SELECTION_REQUEST:
        onSelectionRequest(*reinterpret_cast<const xcb_selection_request_event_t*>(event));
        break;
    case XCB_SELECTION_CLEAR: {
        const auto* clear = reinterpret_cast<const xcb_selection_clear_event_t*>(event);
        if (clear->selection == m_atoms.clipboard && clear->owner == m_window) {
            m_owner = false;
        }
        break;
    }
    case XCB_PROPERTY_NOTIFY: {
        const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event);
        if (notify->state == XCB_PROPERTY_DELETE && notify->window != m_window) {
            m_transfers->onPropertyDeleted(notify->window, notify->atom);
        }
        break;
    }
    case XCB_DESTROY_NOTIFY:
        m_transfers->forget(reinterpret_cast<const xcb_destroy_notify_event_t*>(event)->window);
        break;
    default:
        break;
    }
}

void X11ClipboardOwner::onSelectionRequest(const xcb_selection_request_event_t& request) {
    // Requests from before we took the clipboard were meant for the
    // previous owner (ICCCM); so is anything after we lost it.
    const bool ours =
        m_owner && request.selection == m_atoms.clipboard && request.owner == m_window &&
        (request.time == XCB_CURRENT_TIME || x11::timeAtOrAfter(request.time, m_since));
    // Clients older than ICCCM name no property: the target stands in.
    const xcb_atom_t property = request.property != XCB_NONE ? request.property : request.target;
    bool converted = false;
    if (ours) {
        converted = request.target == m_atoms.multiple
                        ? request.property != XCB_NONE &&
                              convertMultiple(request.requestor, request.property)
                        : convert(request.requestor, request.target, property);
    }
    x11::notifyRequestor(m_conn, request, converted ? property : XCB_NONE);
}

bool X11ClipboardOwner::convert(xcb_window_t requestor, xcb_atom_t target, xcb_atom_t property) {
    if (target == m_atoms.targets) {
        std::vector<xcb_atom_t> atoms{m_atoms.targets, m_atoms.timestamp, m_atoms.multiple};
        atoms.insert(atoms.end(), m_targetAtoms.begin(), m_targetAtoms.end());
        xcb_change_property(m_conn, XCB_PROP_MODE_REPLACE, requestor, property, XCB_ATOM_ATOM, 32,
                            static_cast<std::uint32_t>(atoms.size()), atoms.data());
        return true;
    }
    if (target == m_atoms.timestamp) {
        xcb_change_property(m_conn, XCB_PROP_MODE_REPLACE, requestor, property, XCB_ATOM_INTEGER,
                            32, 1, &m_since);
        return true;
    }
    const auto found = std::find(m_targetAtoms.begin(), m_targetAtoms.end(), target);
    if (target == XCB_NONE || found == m_targetAtoms.end()) {
        return false;
    }
    const std::vector<unsigned char>& bytes =
        m_targets[static_cast<std::size_t>(found - m_targetAtoms.begin())].bytes;
    if (bytes.size() <= m_chunk) {
        xcb_change_property(m_conn, XCB_PROP_MODE_REPLACE, requestor, property, target, 8,
                            static_cast<std::uint32_t>(bytes.size()), bytes.data());
        return true;
    }
    // INCR: the bytes stay in m_targets while the helper serves.
    m_transfers->start(requestor, property, target, bytes.data(), bytes.size(), nullptr);
    return true;
}

// MULTIPLE: the property holds pairs of (target, property); each is
// converted, and the property of a pair that could not be is set to None.
bool X11ClipboardOwner::convertMultiple(xcb_window_t requestor, xcb_atom_t property) {
    Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        m_conn,
        xcb_get_property(m_conn, 0, requestor, property, XCB_GET_PROPERTY_TYPE_ANY, 0,
                         2 * handoff::kMaxTargets * 8),
        nullptr));
    if (reply == nullptr || reply->format != 32 || reply->type == XCB_NONE) {
        return false;
    }
    const int count = xcb_get_property_value_length(reply.get()) / 4;
    const auto* values = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
    std::vector<xcb_atom_t> pairs(values, values + (count - count % 2));
    for (std::size_t i = 0; i < pairs.size(); i += 2) {
        const bool ok = pairs[i] != m_atoms.multiple && pairs[i + 1] != XCB_NONE &&
                        convert(requestor, pairs[i], pairs[i + 1]);
        if (!ok) {
            pairs[i + 1] = XCB_NONE;
        }
    }
    xcb_change_property(m_conn, XCB_PROP_MODE_REPLACE, requestor, property, reply->type, 32,
                        static_cast<std::uint32_t>(pairs.size()), pairs.data());
    return true;
}

} // namespace zs::keeper
