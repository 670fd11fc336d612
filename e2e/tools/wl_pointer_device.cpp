// wl-pointer-device: gives a headless wlroots compositor a pointer.
//
// A compositor started without input devices advertises no pointer on its
// seat, so clients never bind wl_pointer and `swaymsg seat - cursor ...`
// moves and clicks reach nobody. This helper creates one virtual pointer
// (zwlr_virtual_pointer_manager_v1, version 1) on the default seat, prints
// "ready" once the compositor has it, and holds it until it is terminated or
// the compositor goes away. It sends no events itself.
//
// The two interfaces are declared here by hand (only the requests this
// helper makes need the right opcodes and signatures: the manager's
// create_virtual_pointer is request 0, the pointer's destroy request 8).

#include <wayland-client.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <poll.h>

extern "C" {
extern const wl_interface zwlr_virtual_pointer_v1_interface;

static const wl_interface* managerCreateTypes[] = {&wl_seat_interface,
                                                   &zwlr_virtual_pointer_v1_interface};
static const wl_message managerRequests[] = {
    {"create_virtual_pointer", "?on", managerCreateTypes},
    {"destroy", "", nullptr},
};
const wl_interface zwlr_virtual_pointer_manager_v1_interface = {
    "zwlr_virtual_pointer_manager_v1", 1, 2, managerRequests, 0, nullptr};

static const wl_interface* noTypes[] = {nullptr, nullptr, nullptr, nullptr, nullptr};
static const wl_message pointerRequests[] = {
    {"motion", "uff", noTypes},   {"motion_absolute", "uuuuu", noTypes},
    {"button", "uuu", noTypes},   {"axis", "uuf", noTypes},
    {"frame", "", nullptr},       {"axis_source", "u", noTypes},
    {"axis_stop", "uu", noTypes}, {"axis_discrete", "uufi", noTypes},
    {"destroy", "", nullptr},
};
const wl_interface zwlr_virtual_pointer_v1_interface = {"zwlr_virtual_pointer_v1", 1, 9,
                                                        pointerRequests,           0, nullptr};
}

namespace {

constexpr uint32_t kCreateVirtualPointer = 0;
constexpr uint32_t kManagerDestroy = 1;
constexpr uint32_t kPointerDestroy = 8;

struct Globals {
    wl_proxy* manager = nullptr;
};

void onGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface,
              uint32_t /*version*/) {
    auto* globals = static_cast<Globals*>(data);
    if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0) {
        globals->manager = static_cast<wl_proxy*>(
            wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
    }
}

void onGlobalRemove(void*, wl_registry*, uint32_t) {}

const wl_registry_listener registryListener = {onGlobal, onGlobalRemove};

volatile std::sig_atomic_t stopRequested = 0;
void onSignal(int) {
    stopRequested = 1;
}

} // namespace

int main() {
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "wl-pointer-device: cannot connect to the Wayland display\n");
        return 1;
    }
    Globals globals;
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registryListener, &globals);
    wl_display_roundtrip(display);
    if (globals.manager == nullptr) {
        std::fprintf(stderr, "wl-pointer-device: the compositor offers no virtual pointers\n");
        wl_registry_destroy(registry);
        wl_display_disconnect(display);
        return 1;
    }
    // A null seat: the compositor's default one.
    wl_proxy* pointer =
        wl_proxy_marshal_constructor(globals.manager, kCreateVirtualPointer,
                                     &zwlr_virtual_pointer_v1_interface, nullptr, nullptr);
    wl_display_roundtrip(display);
    std::printf("ready\n");
    std::fflush(stdout);

    std::signal(SIGTERM, onSignal);
    std::signal(SIGINT, onSignal);
    pollfd pfd{wl_display_get_fd(display), POLLIN, 0};
    while (stopRequested == 0) {
        if (wl_display_flush(display) < 0 && errno != EAGAIN) {
            break;
        }
        // Wake now and then to notice a signal that came between the check
        // and the poll.
        const int ready = poll(&pfd, 1, 500);
        if (ready > 0 && wl_display_dispatch(display) < 0) {
            break; // the compositor went away
        }
    }
    wl_proxy_marshal(pointer, kPointerDestroy);
    wl_proxy_destroy(pointer);
    wl_proxy_marshal(globals.manager, kManagerDestroy);
    wl_proxy_destroy(globals.manager);
    wl_registry_destroy(registry);
    wl_display_flush(display);
    wl_display_disconnect(display);
    return 0;
}
