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
    enum class Take {
        Taken,   // we own the clipboard now
        Changed, // the clipboard no longer holds the expected selection: left alone
        Failed,  // the compositor refused
    };

    explicit WaylandClipboardOwner(std::vector<handoff::Target> targets);
    ~WaylandClipboardOwner();
    WaylandClipboardOwner(const WaylandClipboardOwner&) = delete;
    WaylandClipboardOwner& operator=(const WaylandClipboardOwner&) = delete;

    // Connects to $WAYLAND_DISPLAY, finds a seat and the data-control
    // manager, and learns the seat's current selection. False with a reason.
    bool connect(std::string& error);

    // Sets the seat's clipboard to our formats, but only while the current
    // selection offers `expectedType` (empty: whatever it holds). Wayland has
    // no server grab: another client's copy in the moment between the check
    // and the request would still be replaced.
    Take take(const std::string& expectedType, std::string& error);

    // Sends the formats to whoever asks until another client sets the
    // clipboard (transfers under way are finished) or the compositor goes.
    void serve();

    // The listeners' entry points (C callbacks land here).
    void onGlobal(wl_registry* registry, std::uint32_t name, const char* interface,
                  std::uint32_t version);
    void onSend(const char* mimeType, int fd);
    void onCancelled() { m_owner = false; }
    void onOffer(zwlr_data_control_offer_v1* offer);
    void onOfferType(zwlr_data_control_offer_v1* offer, const char* mimeType);
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

    std::vector<handoff::Target> m_targets;
    wl_display* m_display = nullptr;
    wl_registry* m_registry = nullptr;
    wl_seat* m_seat = nullptr;
    zwlr_data_control_manager_v1* m_manager = nullptr;
    zwlr_data_control_device_v1* m_device = nullptr;
    zwlr_data_control_source_v1* m_source = nullptr;
    struct Offer {
        zwlr_data_control_offer_v1* offer;
        std::vector<std::string> types;
    };
    std::vector<Offer> m_offers;               // introduced, not yet replaced
    std::vector<std::string> m_selectionTypes; // what the current selection offers
    bool m_owner = false;
    std::vector<Transfer> m_transfers;
};

} // namespace zs::keeper
