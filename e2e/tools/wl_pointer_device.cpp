// wl-pointer-device WIDTH HEIGHT [SCALE]: a mouse for a headless compositor.
//
// A compositor started without input devices advertises no pointer on its
// seat, so clients never bind wl_pointer and nothing can click them. This
// helper creates one virtual pointer on the default seat: on wlroots
// compositors through zwlr_virtual_pointer_manager_v1 (version 1), on KWin,
// which lacks that, through its fake input device (org_kde_kwin_fake_input,
// version 3 or later; KWin offers it to clients its .desktop file allows, or
// to any when started with KWIN_WAYLAND_NO_PERMISSION_CHECKS=1). It then
// moves and clicks it as told, one command a line on standard input:
//
//   move X Y         to X,Y within WIDTH x HEIGHT: output pixels on wlroots
//                    (the one output); on KWin the desktop's device pixels,
//                    SCALE (1 by default) to one logical pixel, sent as the
//                    pixel's top-left corner (Qt rounds a pointer position:
//                    the pixel's middle would land on the next one)
//   press [BUTTON]   BUTTON 1 (left, the default), 2 (middle) or 3 (right)
//   release [BUTTON]
//
// These are real device events, so they reach a client also while a button
// is held (a drag), which sway's own "seat - cursor" commands do not. After
// "ready" at start, it prints "done N" once the compositor has handled the
// N-th command, and "error N ..." for one it could not read. It ends at the
// end of its input, on SIGTERM, or when the compositor goes away.
//
// The interfaces are declared here by hand: only the requests made here
// need the right opcodes and signatures.

#include <wayland-client.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <poll.h>
#include <string>
#include <unistd.h>

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

static const wl_message fakeInputRequests[] = {
    {"authenticate", "ss", noTypes}, {"pointer_motion", "ff", noTypes},
    {"button", "uu", noTypes},       {"axis", "uf", noTypes},
    {"touch_down", "2uff", noTypes}, {"touch_motion", "2uff", noTypes},
    {"touch_up", "2u", noTypes},     {"touch_cancel", "2", nullptr},
    {"touch_frame", "2", nullptr},   {"pointer_motion_absolute", "3ff", noTypes},
};
const wl_interface org_kde_kwin_fake_input_interface = {"org_kde_kwin_fake_input", 3, 10,
                                                        fakeInputRequests,         0, nullptr};
}

namespace {

// Request opcodes, in the order of the arrays above.
enum ManagerRequest : uint32_t { kCreateVirtualPointer = 0, kManagerDestroy = 1 };
enum PointerRequest : uint32_t {
    kMotionAbsolute = 1,
    kButton = 2,
    kFrame = 4,
    kPointerDestroy = 8
};
enum FakeInputRequest : uint32_t {
    kAuthenticate = 0,
    kFakeButton = 2,
    kFakeMotionAbsolute = 9,
};
constexpr uint32_t kFakeInputVersion = 3; // pointer_motion_absolute

// Linux input event codes of the three buttons.
constexpr uint32_t kButtonCodes[] = {0x110, 0x112, 0x111}; // BTN_LEFT, BTN_MIDDLE, BTN_RIGHT

struct Globals {
    wl_proxy* manager = nullptr;
    wl_proxy* fakeInput = nullptr;
};

void onGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface,
              uint32_t version) {
    auto* globals = static_cast<Globals*>(data);
    if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0) {
        globals->manager = static_cast<wl_proxy*>(
            wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
    } else if (std::strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 &&
               version >= kFakeInputVersion) {
        globals->fakeInput = static_cast<wl_proxy*>(wl_registry_bind(
            registry, name, &org_kde_kwin_fake_input_interface, kFakeInputVersion));
    }
}

void onGlobalRemove(void* /*data*/, wl_registry* /*registry*/, uint32_t /*name*/) {}

const wl_registry_listener registryListener = {onGlobal, onGlobalRemove};

volatile std::sig_atomic_t stopRequested = 0;
void onSignal(int /*signal*/) {
    stopRequested = 1;
}

uint32_t nowMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint32_t>(ts.tv_sec * 1000 + ts.tv_nsec / 1000000);
}

class Pointer {
public:
    // `pointer`: a zwlr_virtual_pointer_v1, or with `fakeInput` an
    // org_kde_kwin_fake_input.
    Pointer(wl_proxy* pointer, bool fakeInput, uint32_t width, uint32_t height, long scale)
        : m_pointer(pointer), m_fakeInput(fakeInput), m_width(width), m_height(height),
          m_scale(double(scale)) {}

    // Carries out one command line; false when it cannot be read.
    bool run(const std::string& line) {
        char verb[16] = {};
        long a = -1;
        long b = -1;
        const int n = std::sscanf(line.c_str(), "%15s %ld %ld", verb, &a, &b);
        if (n >= 3 && std::strcmp(verb, "move") == 0) {
            if (a < 0 || b < 0 || a >= long(m_width) || b >= long(m_height)) {
                return false;
            }
            if (m_fakeInput) {
                // KWin's logical coordinates; a half at scale 2 is exact in
                // wl_fixed (1/256).
                wl_proxy_marshal(m_pointer, kFakeMotionAbsolute,
                                 wl_fixed_from_double(double(a) / m_scale),
                                 wl_fixed_from_double(double(b) / m_scale));
            } else {
                wl_proxy_marshal(m_pointer, kMotionAbsolute, nowMs(), uint32_t(a), uint32_t(b),
                                 m_width, m_height);
            }
        } else if (n >= 1 &&
                   (std::strcmp(verb, "press") == 0 || std::strcmp(verb, "release") == 0)) {
            const long button = n >= 2 ? a : 1;
            if (button < 1 || button > 3) {
                return false;
            }
            const uint32_t state = verb[0] == 'p' ? 1 : 0; // pressed, released
            if (m_fakeInput) {
                wl_proxy_marshal(m_pointer, kFakeButton, kButtonCodes[button - 1], state);
            } else {
                wl_proxy_marshal(m_pointer, kButton, nowMs(), kButtonCodes[button - 1], state);
            }
        } else {
            return false;
        }
        // KWin ends each fake event's frame itself.
        if (!m_fakeInput) {
            wl_proxy_marshal(m_pointer, kFrame);
        }
        return true;
    }

private:
    wl_proxy* m_pointer;
    bool m_fakeInput;
    uint32_t m_width;
    uint32_t m_height;
    double m_scale;
};

} // namespace

int main(int argc, char** argv) {
    const bool argsOk = argc == 3 || argc == 4;
    const long width = argsOk ? std::strtol(argv[1], nullptr, 10) : 0;
    const long height = argsOk ? std::strtol(argv[2], nullptr, 10) : 0;
    const long scale = argc == 4 ? std::strtol(argv[3], nullptr, 10) : 1;
    if (width <= 0 || height <= 0 || scale < 1 || scale > 4) {
        std::fprintf(stderr, "usage: wl-pointer-device WIDTH HEIGHT [SCALE]\n");
        return 2;
    }
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "wl-pointer-device: cannot connect to the Wayland display\n");
        return 1;
    }
    Globals globals;
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registryListener, &globals);
    wl_display_roundtrip(display);
    const bool fakeInput = globals.manager == nullptr && globals.fakeInput != nullptr;
    if (globals.manager == nullptr && globals.fakeInput == nullptr) {
        std::fprintf(stderr, "wl-pointer-device: the compositor offers no virtual pointers\n");
        wl_registry_destroy(registry);
        wl_display_disconnect(display);
        return 1;
    }
    wl_proxy* proxy = nullptr;
    if (fakeInput) {
        // The device exists from the bind; it moves once authenticated.
        proxy = globals.fakeInput;
        wl_proxy_marshal(proxy, kAuthenticate, "wl-pointer-device", "end-to-end tests");
    } else {
        // A null seat: the compositor's default one.
        proxy = wl_proxy_marshal_constructor(globals.manager, kCreateVirtualPointer,
                                             &zwlr_virtual_pointer_v1_interface, nullptr, nullptr);
        if (globals.fakeInput != nullptr) {
            wl_proxy_destroy(globals.fakeInput);
        }
    }
    wl_display_roundtrip(display);
    std::printf("ready\n");
    std::fflush(stdout);

    std::signal(SIGTERM, onSignal);
    std::signal(SIGINT, onSignal);
    Pointer pointer(proxy, fakeInput, uint32_t(width), uint32_t(height), scale);
    std::string pending;
    long count = 0;
    pollfd fds[2] = {{wl_display_get_fd(display), POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
    bool inputOpen = true;
    while (stopRequested == 0 && inputOpen) {
        if (wl_display_flush(display) < 0 && errno != EAGAIN) {
            break;
        }
        // Wake now and then to notice a signal that came between the check
        // and the poll.
        if (poll(fds, 2, 500) <= 0) {
            continue;
        }
        if ((fds[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0 &&
            wl_display_dispatch(display) < 0) {
            break; // the compositor went away
        }
        if ((fds[1].revents & (POLLIN | POLLHUP)) == 0) {
            continue;
        }
        char buffer[256];
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got <= 0) {
            inputOpen = got < 0 && errno == EINTR;
            continue;
        }
        pending.append(buffer, size_t(got));
        for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
            const std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            ++count;
            if (!pointer.run(line)) {
                std::printf("error %ld cannot read '%s'\n", count, line.c_str());
            } else if (wl_display_roundtrip(display) < 0) {
                stopRequested = 1;
                break;
            } else {
                std::printf("done %ld\n", count);
            }
            std::fflush(stdout);
        }
    }
    if (fakeInput) {
        // Version 3 has no destructor request: disconnecting removes the device.
        wl_proxy_destroy(proxy);
    } else {
        wl_proxy_marshal(proxy, kPointerDestroy);
        wl_proxy_destroy(proxy);
        wl_proxy_marshal(globals.manager, kManagerDestroy);
        wl_proxy_destroy(globals.manager);
    }
    wl_registry_destroy(registry);
    wl_display_flush(display);
    wl_display_disconnect(display);
    return 0;
}
