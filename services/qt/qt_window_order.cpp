#include "services/qt/qt_services.h"

#include "services/qt/x11_connection.h"
#include "services/session_kind.h"

#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace zs {

namespace {

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(c, cookie, nullptr);
    const xcb_atom_t a = reply != nullptr ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
    std::free(reply);
    return a;
}

xcb_window_t rootOf(xcb_connection_t* c) {
    return xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
}

// Asks the window manager to add or remove _NET_WM_STATE_ABOVE on a mapped
// window; the window stays mapped.
void setAboveX11(xcb_connection_t* c, xcb_window_t window, bool above) {
    xcb_client_message_event_t ev{};
    ev.response_type = XCB_CLIENT_MESSAGE;
    ev.format = 32;
    ev.window = window;
    ev.type = atom(c, "_NET_WM_STATE");
    ev.data.data32[0] = above ? 1 : 0; // _NET_WM_STATE_ADD / _REMOVE
    ev.data.data32[1] = atom(c, "_NET_WM_STATE_ABOVE");
    ev.data.data32[2] = 0;
    ev.data.data32[3] = 1; // a normal application
    xcb_send_event(c, 0, rootOf(c),
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&ev));
    xcb_flush(c);
}

} // namespace

void QtWindowOrder::setWindowPos(QWidget& window, bool onTop, const QRect& outerPx) {
    const QMargins f = frameMargins(window);
    if (window.isVisible()) {
        if (xcb_connection_t* c = x11::connection(); c != nullptr) {
            setAboveX11(c, static_cast<xcb_window_t>(window.winId()), onTop);
        } else if (QWindow* w = window.windowHandle(); w != nullptr) {
            w->setFlag(Qt::WindowStaysOnTopHint, onTop);
        }
    }
    if (!window.isMinimized() && !window.isMaximized()) {
        const QSize client(std::max(0, outerPx.width() - f.left() - f.right()),
                           std::max(0, outerPx.height() - f.top() - f.bottom()));
        if (window.frameGeometry().topLeft() != outerPx.topLeft()) {
            window.move(outerPx.topLeft());
        }
        if (window.size() != client) {
            window.resize(client);
        }
    }
    if (window.isVisible()) {
        window.raise();
        window.activateWindow();
    }
}

QMargins QtWindowOrder::frameMargins(const QWidget& window) const {
    if (!managed()) {
        return {};
    }
    if (window.isVisible() && window.geometry() != window.frameGeometry()) {
        const QRect g = window.geometry();
        const QRect fg = window.frameGeometry();
        m_lastFrame = QMargins(g.left() - fg.left(), g.top() - fg.top(), fg.right() - g.right(),
                               fg.bottom() - g.bottom());
    } else if (!x11::onX11()) {
        return QMargins();
    }
    return m_lastFrame;
}

bool QtWindowOrder::isOnScreen(const QWidget& window) const {
    // Asked of the server also for a hidden window: the answer comes after
    // the unmap request Qt sent, so "no" means the server has taken it off.
    if (xcb_connection_t* c = x11::connection(); c != nullptr && window.internalWinId() != 0) {
        const auto cookie =
            xcb_get_window_attributes(c, static_cast<xcb_window_t>(window.internalWinId()));
        xcb_get_window_attributes_reply_t* r = xcb_get_window_attributes_reply(c, cookie, nullptr);
        const bool viewable = r != nullptr && r->map_state == XCB_MAP_STATE_VIEWABLE;
        std::free(r);
        return viewable;
    }
    // xdg-shell has a request to minimise but no state that says it was done
    // (sway and other tiling compositors ignore it), so a shown window may
    // still be on the screen.
    if (currentSessionKind() == SessionKind::Wayland) {
        return window.isVisible();
    }
    return window.isVisible() && !window.isMinimized();
}

bool QtWindowOrder::managed() const {
    xcb_connection_t* c = x11::connection();
    if (c == nullptr) {
        return true; // elsewhere a compositor always manages the windows
    }
    // Exactly one client may redirect the root's children: the window
    // manager.
    xcb_get_window_attributes_reply_t* r =
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, rootOf(c)), nullptr);
    const bool redirected =
        r != nullptr && (r->all_event_masks & XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT) != 0;
    std::free(r);
    return redirected;
}

} // namespace zs
