#pragma once

#include "keeper/shared/handoff.h"

#include <chrono>
#include <string>
#include <vector>

struct wl_display;
struct wl_registry;
struct wl_seat;
struct zwlr_data_control_manager_v1;
struct zwlr_data_control_device_v1;
struct zwlr_data_control_source_v1;
struct zwlr_data_control_offer_v1;

// Owns a Wayland seat's clipboard through the data-control protocol
// (wlr-data-control, offered by sway, KDE and Hyprland, among others),
// which lets a client without a window set the selection. GNOME offers no
// such protocol: there the clipboard cannot outlive the program.
namespace zs::keeper {

class WaylandClipboardOwner {
public:
    explicit WaylandClipboardOwner(std::vector<handoff::Target> targets);
    ~WaylandClipboardOwner();
    WaylandClipboardOwner(const WaylandClipboardOwner&) = delete;
    WaylandClipboardOwner& operator=(const WaylandClipboardOwner&) = delete;

    // Connects to $WAYLAND_DISPLAY and finds a seat and the data-control
    // manager. False with a reason.
    bool connect(std::string& error);

    // Sets the seat's clipboard to our formats.
    bool take(std::string& error);

    // Sends the formats to whoever asks until another client sets the
    // clipboard (transfers under way are finished) or the compositor goes.
    void serve();

    // The listeners' entry points (C callbacks land here).
    void onGlobal(wl_registry* registry, std::uint32_t name, const char* interface,
                  std::uint32_t version);
    void onSend(const char* mimeType, int fd);
    void onCancelled() { m_owner = false; }
    void onOffer(zwlr_data_control_offer_v1* offer);
    void onSelection(zwlr_data_control_offer_v1* offer);
    void onFinished() { m_owner = false; }

private:
    using Clock = std::chrono::steady_clock;
    struct Transfer {
        int fd;
        const std::vector<unsigned char>* bytes;
        std::size_t offset = 0;
        Clock::time_point deadline;
    };
    // Writes what the reader takes now; false once the transfer is over.
    static bool pump(Transfer& transfer);
    void dropOffer(zwlr_data_control_offer_v1* offer);

    std::vector<handoff::Target> m_targets;
    wl_display* m_display = nullptr;
    wl_registry* m_registry = nullptr;
    wl_seat* m_seat = nullptr;
    zwlr_data_control_manager_v1* m_manager = nullptr;
    zwlr_data_control_device_v1* m_device = nullptr;
    zwlr_data_control_source_v1* m_source = nullptr;
    std::vector<zwlr_data_control_offer_v1*> m_offers; // introduced, not yet replaced
    bool m_owner = false;
    std::vector<Transfer> m_transfers;
};

} // namespace zs::keeper
