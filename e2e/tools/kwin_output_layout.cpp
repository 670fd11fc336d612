// kwin-output-layout [NAME=X,Y ...]: places KWin's outputs.
//
// KWin's virtual backend lines its outputs up left to right in the order it
// makes them and takes no layout on its command line. This helper moves
// them through KWin's output management protocol (kde_output_management_v2,
// offered to every client with KWIN_WAYLAND_NO_PERMISSION_CHECKS=1): each
// NAME (as the output device announces it, e.g. Virtual-1) goes to X,Y in
// logical pixels, all in one configuration. It then prints the outputs as
// KWin reports them, one a line, sorted by name:
//
//   NAME X Y
//
// Without arguments it only prints them. Exit status 0 when KWin applied the
// layout, 1 when it refused it, an output is unknown or the compositor
// cannot be reached, 2 for unreadable arguments.
//
// The interfaces are declared here by hand (as in wl_pointer_device.cpp):
// the requests made here need the right opcodes, and every event KWin may
// send on the bound versions needs its signature so that it can be read.

#include <wayland-client.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

extern "C" {
static const wl_interface* noTypes[] = {nullptr, nullptr, nullptr, nullptr,
                                        nullptr, nullptr, nullptr, nullptr};

// kde_output_device_mode_v2: only its events, which are ignored.
static const wl_message modeEvents[] = {
    {"size", "ii", noTypes},
    {"refresh", "i", noTypes},
    {"preferred", "", nullptr},
    {"removed", "", nullptr},
};
const wl_interface kde_output_device_mode_v2_interface = {
    "kde_output_device_mode_v2", 1, 0, nullptr, 4, modeEvents};

static const wl_interface* modeTypes[] = {&kde_output_device_mode_v2_interface};
// kde_output_device_v2 version 2: no requests; the events in protocol order.
static const wl_message deviceEvents[] = {
    {"geometry", "iiiiissi", noTypes}, {"current_mode", "o", modeTypes},
    {"mode", "n", modeTypes},          {"done", "", nullptr},
    {"scale", "f", noTypes},           {"edid", "s", noTypes},
    {"enabled", "i", noTypes},         {"uuid", "s", noTypes},
    {"serial_number", "s", noTypes},   {"eisa_id", "s", noTypes},
    {"capabilities", "u", noTypes},    {"overscan", "u", noTypes},
    {"vrr_policy", "u", noTypes},      {"rgb_range", "u", noTypes},
    {"name", "2s", noTypes},
};
const wl_interface kde_output_device_v2_interface = {
    "kde_output_device_v2", 2, 0, nullptr, 15, deviceEvents};

static const wl_interface* deviceTypes[] = {&kde_output_device_v2_interface, nullptr, nullptr};
// kde_output_configuration_v2 version 1: the requests up to destroy.
static const wl_message configurationRequests[] = {
    {"enable", "oi", deviceTypes},    {"mode", "oo", deviceTypes},
    {"transform", "oi", deviceTypes}, {"position", "oii", deviceTypes},
    {"scale", "of", deviceTypes},     {"apply", "", nullptr},
    {"destroy", "", nullptr},
};
static const wl_message configurationEvents[] = {
    {"applied", "", nullptr},
    {"failed", "", nullptr},
};
const wl_interface kde_output_configuration_v2_interface = {
    "kde_output_configuration_v2", 1, 7, configurationRequests, 2, configurationEvents};

static const wl_interface* configurationTypes[] = {&kde_output_configuration_v2_interface};
static const wl_message managementRequests[] = {
    {"create_configuration", "n", configurationTypes},
};
const wl_interface kde_output_management_v2_interface = {"kde_output_management_v2", 1, 1,
                                                         managementRequests,         0, nullptr};
}

namespace {

enum ConfigurationRequest : uint32_t { kPosition = 3, kApply = 5, kDestroy = 6 };
constexpr uint32_t kCreateConfiguration = 0;
constexpr uint32_t kDeviceVersion = 2; // the name event

struct Device {
    wl_proxy* proxy = nullptr;
    std::string name;
    int x = 0;
    int y = 0;
};

struct State {
    wl_proxy* management = nullptr;
    std::vector<std::unique_ptr<Device>> devices;
    enum class Outcome { Pending, Applied, Failed } outcome = Outcome::Pending;
};

// Listener slots match deviceEvents; only geometry and name matter here.
void onGeometry(void* data, wl_proxy* /*device*/, int32_t x, int32_t y, int32_t /*physicalWidth*/,
                int32_t /*physicalHeight*/, int32_t /*subpixel*/, const char* /*make*/,
                const char* /*model*/, int32_t /*transform*/) {
    auto* device = static_cast<Device*>(data);
    device->x = x;
    device->y = y;
}
void onName(void* data, wl_proxy* /*device*/, const char* name) {
    static_cast<Device*>(data)->name = name;
}
void ignoreObject(void* /*data*/, wl_proxy* /*device*/, wl_proxy* /*object*/) {}
void ignoreNothing(void* /*data*/, wl_proxy* /*device*/) {}
void ignoreInt(void* /*data*/, wl_proxy* /*device*/, int32_t /*value*/) {}
void ignoreString(void* /*data*/, wl_proxy* /*device*/, const char* /*value*/) {}
void ignoreUint(void* /*data*/, wl_proxy* /*device*/, uint32_t /*value*/) {}

struct DeviceListener {
    decltype(&onGeometry) geometry;
    decltype(&ignoreObject) currentMode;
    decltype(&ignoreObject) mode;
    decltype(&ignoreNothing) done;
    decltype(&ignoreInt) scale; // wl_fixed_t
    decltype(&ignoreString) edid;
    decltype(&ignoreInt) enabled;
    decltype(&ignoreString) uuid;
    decltype(&ignoreString) serialNumber;
    decltype(&ignoreString) eisaId;
    decltype(&ignoreUint) capabilities;
    decltype(&ignoreUint) overscan;
    decltype(&ignoreUint) vrrPolicy;
    decltype(&ignoreUint) rgbRange;
    decltype(&onName) name;
};
const DeviceListener deviceListener = {
    onGeometry,   ignoreObject, ignoreObject, ignoreNothing, ignoreInt,
    ignoreString, ignoreInt,    ignoreString, ignoreString,  ignoreString,
    ignoreUint,   ignoreUint,   ignoreUint,   ignoreUint,    onName,
};

void onApplied(void* data, wl_proxy* /*configuration*/) {
    static_cast<State*>(data)->outcome = State::Outcome::Applied;
}
void onFailed(void* data, wl_proxy* /*configuration*/) {
    static_cast<State*>(data)->outcome = State::Outcome::Failed;
}
struct ConfigurationListener {
    decltype(&onApplied) applied;
    decltype(&onFailed) failed;
};
const ConfigurationListener configurationListener = {onApplied, onFailed};

void onGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface,
              uint32_t version) {
    auto* state = static_cast<State*>(data);
    if (std::strcmp(interface, kde_output_management_v2_interface.name) == 0) {
        state->management = static_cast<wl_proxy*>(
            wl_registry_bind(registry, name, &kde_output_management_v2_interface, 1));
    } else if (std::strcmp(interface, kde_output_device_v2_interface.name) == 0 &&
               version >= kDeviceVersion) {
        auto device = std::make_unique<Device>();
        device->proxy = static_cast<wl_proxy*>(
            wl_registry_bind(registry, name, &kde_output_device_v2_interface, kDeviceVersion));
        wl_proxy_add_listener(
            device->proxy,
            reinterpret_cast<void (**)(void)>(const_cast<DeviceListener*>(&deviceListener)),
            device.get());
        state->devices.push_back(std::move(device));
    }
}
void onGlobalRemove(void* /*data*/, wl_registry* /*registry*/, uint32_t /*name*/) {}
const wl_registry_listener registryListener = {onGlobal, onGlobalRemove};

// "NAME=X,Y" into its parts; false when it is not that.
bool parsePlacement(const char* text, std::string* name, int* x, int* y) {
    const char* equals = std::strchr(text, '=');
    if (equals == nullptr || equals == text) {
        return false;
    }
    char* end = nullptr;
    const long px = std::strtol(equals + 1, &end, 10);
    if (end == equals + 1 || *end != ',') {
        return false;
    }
    const char* yText = end + 1;
    const long py = std::strtol(yText, &end, 10);
    if (end == yText || *end != '\0' || px < -65536 || px > 65536 || py < -65536 || py > 65536) {
        return false;
    }
    name->assign(text, size_t(equals - text));
    *x = int(px);
    *y = int(py);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::pair<std::string, std::pair<int, int>>> placements;
    for (int i = 1; i < argc; ++i) {
        std::string name;
        int x = 0;
        int y = 0;
        if (!parsePlacement(argv[i], &name, &x, &y)) {
            std::fprintf(stderr, "usage: kwin-output-layout [NAME=X,Y ...]\n");
            return 2;
        }
        placements.push_back({name, {x, y}});
    }
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "kwin-output-layout: cannot connect to the Wayland display\n");
        return 1;
    }
    State state;
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registryListener, &state);
    // The globals, then each device's first burst of events up to done.
    wl_display_roundtrip(display);
    wl_display_roundtrip(display);

    int status = 0;
    if (!placements.empty()) {
        if (state.management == nullptr) {
            std::fprintf(stderr, "kwin-output-layout: the compositor offers no output "
                                 "management\n");
            status = 1;
        }
        wl_proxy* configuration = nullptr;
        if (status == 0) {
            configuration =
                wl_proxy_marshal_constructor(state.management, kCreateConfiguration,
                                             &kde_output_configuration_v2_interface, nullptr);
            wl_proxy_add_listener(configuration,
                                  reinterpret_cast<void (**)(void)>(
                                      const_cast<ConfigurationListener*>(&configurationListener)),
                                  &state);
        }
        for (const auto& [name, position] : placements) {
            if (status != 0) {
                break;
            }
            Device* found = nullptr;
            for (const auto& device : state.devices) {
                found = device->name == name ? device.get() : found;
            }
            if (found == nullptr) {
                std::fprintf(stderr, "kwin-output-layout: no output named %s\n", name.c_str());
                status = 1;
                break;
            }
            wl_proxy_marshal(configuration, kPosition, found->proxy, position.first,
                             position.second);
        }
        if (status == 0) {
            wl_proxy_marshal(configuration, kApply);
            while (state.outcome == State::Outcome::Pending && wl_display_dispatch(display) >= 0) {
            }
            if (state.outcome != State::Outcome::Applied) {
                std::fprintf(stderr, "kwin-output-layout: KWin did not apply the layout\n");
                status = 1;
            }
            // The devices' new geometry.
            wl_display_roundtrip(display);
        }
        if (configuration != nullptr) {
            wl_proxy_marshal(configuration, kDestroy);
            wl_proxy_destroy(configuration);
        }
    }
    std::map<std::string, const Device*> byName;
    for (const auto& device : state.devices) {
        byName[device->name] = device.get();
    }
    for (const auto& [name, device] : byName) {
        std::printf("%s %d %d\n", name.c_str(), device->x, device->y);
    }
    for (const auto& device : state.devices) {
        wl_proxy_destroy(device->proxy);
    }
    if (state.management != nullptr) {
        wl_proxy_destroy(state.management);
    }
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    return status;
}
