#include "keeper/wayland_clipboard_owner.h"

#include "wlr-data-control-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace zs::keeper {

namespace {

// A reader that stops reading for this long is given up.
constexpr auto kTransferTimeout = std::chrono::seconds(5);

WaylandClipboardOwner& self(void* data) {
    return *static_cast<WaylandClipboardOwner*>(data);
}

const wl_registry_listener kRegistryListener = {
    [](void* data, wl_registry* registry, std::uint32_t name, const char* interface,
       std::uint32_t version) { self(data).onGlobal(registry, name, interface, version); },
    [](void*, wl_registry*, std::uint32_t) {},
};

const zwlr_data_control_source_v1_listener kSourceListener = {
    [](void* data, zwlr_data_control_source_v1*, const char* mimeType, std::int32_t fd) {
        self(data).onSend(mimeType, fd);
    },
    [](void* data, zwlr_data_control_source_v1*) { self(data).onCancelled(); },
};

// The offers of other clients' selections: their formats tell whether the
// selection is still the program's.
const zwlr_data_control_offer_v1_listener kOfferListener = {
    [](void* data, zwlr_data_control_offer_v1* offer, const char* mimeType) {
        self(data).onOfferType(offer, mimeType);
    },
};

const zwlr_data_control_device_v1_listener kDeviceListener = {
    [](void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer) {
        self(data).onOffer(offer);
    },
    [](void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer) {
        self(data).onSelection(offer);
    },
    [](void* data, zwlr_data_control_device_v1*) { self(data).onFinished(); },
    // Primary selections are not asked for (version 1 of the device).
    [](void*, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1*) {},
};

// The protocol's destructors take no null object.
template <typename T> void destroyIfAny(T* object, void (*destroy)(T*)) {
    if (object != nullptr) {
        destroy(object);
    }
}

} // namespace

WaylandClipboardOwner::WaylandClipboardOwner(std::vector<handoff::Target> targets)
    : m_targets(std::move(targets)) {}

WaylandClipboardOwner::~WaylandClipboardOwner() {
    for (Transfer& t : m_transfers) {
        ::close(t.fd);
    }
    for (const Offer& o : m_offers) {
        zwlr_data_control_offer_v1_destroy(o.offer);
    }
    destroyIfAny(m_source, zwlr_data_control_source_v1_destroy);
    destroyIfAny(m_device, zwlr_data_control_device_v1_destroy);
    destroyIfAny(m_manager, zwlr_data_control_manager_v1_destroy);
    destroyIfAny(m_seat, wl_seat_destroy);
    destroyIfAny(m_registry, wl_registry_destroy);
    if (m_display != nullptr) {
        wl_display_flush(m_display);
        wl_display_disconnect(m_display);
    }
}

void WaylandClipboardOwner::onGlobal(wl_registry* registry, std::uint32_t name,
                                     const char* interface, std::uint32_t version) {
    (void)version;
    if (m_seat == nullptr && std::strcmp(interface, wl_seat_interface.name) == 0) {
        m_seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    } else if (m_manager == nullptr &&
               std::strcmp(interface, zwlr_data_control_manager_v1_interface.name) == 0) {
        m_manager = static_cast<zwlr_data_control_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_data_control_manager_v1_interface, 1));
    }
}

bool WaylandClipboardOwner::connect(std::string& error) {
    m_display = wl_display_connect(nullptr);
    if (m_display == nullptr) {
        error = "cannot connect to the Wayland compositor";
        return false;
    }
    m_registry = wl_display_get_registry(m_display);
    wl_registry_add_listener(m_registry, &kRegistryListener, this);
    if (wl_display_roundtrip(m_display) < 0) {
        error = "the Wayland compositor did not answer";
        return false;
    }
    if (m_seat == nullptr) {
        error = "the Wayland compositor has no seat";
        return false;
    }
    if (m_manager == nullptr) {
        error = "the Wayland compositor offers no data-control protocol";
        return false;
    }
    m_device = zwlr_data_control_manager_v1_get_data_device(m_manager, m_seat);
    zwlr_data_control_device_v1_add_listener(m_device, &kDeviceListener, this);
    // A new device is told the seat's current selection at once.
    if (wl_display_roundtrip(m_display) < 0) {
        error = "the Wayland compositor did not answer";
        return false;
    }
    return true;
}

WaylandClipboardOwner::Take WaylandClipboardOwner::take(const std::string& expectedType,
                                                        std::string& error) {
    // The latest selection, as close to the request as a round trip allows.
    if (wl_display_roundtrip(m_display) < 0) {
        error = "the Wayland compositor did not answer";
        return Take::Failed;
    }
    if (!expectedType.empty() && std::find(m_selectionTypes.begin(), m_selectionTypes.end(),
                                           expectedType) == m_selectionTypes.end()) {
        return Take::Changed;
    }
    m_source = zwlr_data_control_manager_v1_create_data_source(m_manager);
    zwlr_data_control_source_v1_add_listener(m_source, &kSourceListener, this);
    for (const handoff::Target& target : m_targets) {
        zwlr_data_control_source_v1_offer(m_source, target.name.c_str());
    }
    zwlr_data_control_device_v1_set_selection(m_device, m_source);
    m_owner = true;
    if (wl_display_roundtrip(m_display) < 0 || !m_owner) {
        error = "the Wayland compositor refused the clipboard";
        return Take::Failed;
    }
    return Take::Taken;
}

void WaylandClipboardOwner::onOffer(zwlr_data_control_offer_v1* offer) {
    zwlr_data_control_offer_v1_add_listener(offer, &kOfferListener, this);
    m_offers.push_back(Offer{offer, {}});
}

void WaylandClipboardOwner::onOfferType(zwlr_data_control_offer_v1* offer, const char* mimeType) {
    for (Offer& o : m_offers) {
        if (o.offer == offer && o.types.size() < 64) {
            o.types.emplace_back(mimeType);
        }
    }
}

// Each new selection ends the offers introduced before it. A null offer is
// an empty clipboard.
void WaylandClipboardOwner::onSelection(zwlr_data_control_offer_v1* offer) {
    m_selectionTypes.clear();
    std::erase_if(m_offers, [&](const Offer& o) {
        if (o.offer == offer) {
            m_selectionTypes = o.types;
            return false;
        }
        zwlr_data_control_offer_v1_destroy(o.offer);
        return true;
    });
}

void WaylandClipboardOwner::onSend(const char* mimeType, int fd) {
    const auto found = std::find_if(m_targets.begin(), m_targets.end(),
                                    [&](const handoff::Target& t) { return t.name == mimeType; });
    if (found == m_targets.end()) {
        ::close(fd);
        return;
    }
    // Never block on one slow reader: the others and the compositor wait.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    m_transfers.push_back(Transfer{fd, &found->bytes, 0, Clock::now() + kTransferTimeout});
}

bool WaylandClipboardOwner::pump(Transfer& transfer) {
    Transfer& t = transfer;
    while (t.offset < t.bytes->size()) {
        const ssize_t n = ::write(t.fd, t.bytes->data() + t.offset, t.bytes->size() - t.offset);
        if (n > 0) {
            t.offset += static_cast<std::size_t>(n);
            t.deadline = Clock::now() + kTransferTimeout;
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return Clock::now() < t.deadline;
        }
        return false; // the reader went away
    }
    return false; // all written
}

void WaylandClipboardOwner::serve() {
    const int displayFd = wl_display_get_fd(m_display);
    while (true) {
        std::erase_if(m_transfers, [](Transfer& t) {
            if (pump(t)) {
                return false;
            }
            ::close(t.fd);
            return true;
        });
        if (!m_owner && m_transfers.empty()) {
            return;
        }
        while (wl_display_prepare_read(m_display) != 0) {
            if (wl_display_dispatch_pending(m_display) < 0) {
                return;
            }
        }
        if (wl_display_flush(m_display) < 0 && errno != EAGAIN) {
            wl_display_cancel_read(m_display);
            return;
        }
        std::vector<pollfd> fds{{displayFd, POLLIN, 0}};
        for (const Transfer& t : m_transfers) {
            fds.push_back({t.fd, POLLOUT, 0});
        }
        const int timeout = m_transfers.empty() ? -1 : 1000;
        if (::poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR) {
            wl_display_cancel_read(m_display);
            return;
        }
        if ((fds[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
            if (wl_display_read_events(m_display) < 0) {
                return; // the compositor went away
            }
        } else {
            wl_display_cancel_read(m_display);
        }
        if (wl_display_dispatch_pending(m_display) < 0) {
            return;
        }
    }
}

} // namespace zs::keeper
