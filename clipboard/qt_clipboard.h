#pragma once

#include "clipboard/clipboard_payload.h"
#include "services/services.h"

#include <memory>

namespace zs::x11 {
class ClipboardTransfers;
}

namespace zs {

// The image goes on the clipboard as image/png and image/bmp, each encoded
// once in the background (ClipboardPayload).
class QtClipboard final : public IClipboard {
public:
    QtClipboard();
    ~QtClipboard() override;
    QtClipboard(const QtClipboard&) = delete;
    QtClipboard& operator=(const QtClipboard&) = delete;
    void clear() override;
    void setImage(const QImage& image) override;
    // Once the event loop has ended: if the clipboard still holds our last
    // image, leaves it to a clipboard manager or to the helper process that
    // keeps it after we end (helper_handoff.h).
    void keepAfterExit();
    // Whether the clipboard holds our last image, as far as Qt knows.
    bool holdsCrop() const;

private:
    std::weak_ptr<ClipboardPayload> m_current;
    // X11: our large files go out in 1 MiB pieces (x11_clipboard_transfers.h).
    std::unique_ptr<x11::ClipboardTransfers> m_transfers;
};

} // namespace zs
