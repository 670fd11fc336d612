#pragma once

#include "clipboard/clipboard_payload.h"
#include "keeper/shared/x11_selection.h"

#include <QAbstractNativeEventFilter>
#include <QByteArray>
#include <QTimer>

#include <xcb/xcb.h>

#include <memory>
#include <optional>
#include <vector>

// Sends the clipboard's large files to other X11 programs in 1 MiB pieces
// (smaller where the server's maximum request length is).
//
// Qt sends data larger than one request by INCR in pieces as large as the
// server allows (16 MiB with BIG-REQUESTS), and readers take two to three
// times longer over such pieces than over 1 MiB ones (docs/PERFORMANCE.md).
// This filter sees Qt's X events first and answers the requests for our
// formats whose file is larger than one piece itself; everything else
// (TARGETS, MULTIPLE, small files) stays with Qt.
namespace zs::x11 {

class ClipboardTransfers final : public QAbstractNativeEventFilter {
public:
    explicit ClipboardTransfers(xcb_connection_t* connection);
    ~ClipboardTransfers() override;
    ClipboardTransfers(const ClipboardTransfers&) = delete;
    ClipboardTransfers& operator=(const ClipboardTransfers&) = delete;

    // The payload the clipboard now holds (expired once Qt drops it).
    void setPayload(std::weak_ptr<ClipboardPayload> payload) { m_payload = std::move(payload); }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    bool onSelectionRequest(const xcb_selection_request_event_t& request);
    bool onPropertyDeleted(xcb_window_t window, xcb_atom_t property);
    void dropExpired();

    xcb_connection_t* m_conn;
    std::size_t m_piece; // bytes written in one property
    xcb_atom_t m_clipboard = XCB_NONE;
    std::vector<xcb_atom_t> m_formats; // parallel to ClipboardPayload::formats()
    std::weak_ptr<ClipboardPayload> m_payload;
    std::optional<IncrSender> m_transfers; // made once the atoms are known
    QTimer m_expiry;
};

} // namespace zs::x11
