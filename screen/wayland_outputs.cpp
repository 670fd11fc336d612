#include "screen/wayland_outputs.h"

#include "xdg-output-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <poll.h>
#include <string>
#include <utility>
#include <vector>

namespace zs {

QSize outputDeviceSize(QSize mode, int transform) {
    // Odd transforms (90, 270, flipped 90, flipped 270) turn by a quarter.
    const bool quarterTurn = (transform & WL_OUTPUT_TRANSFORM_90) != 0;
    return quarterTurn ? mode.transposed() : mode;
}

namespace {

using Clock = std::chrono::steady_clock;

struct Output {
    wl_output* output = nullptr;
    zxdg_output_v1* xdg = nullptr;
    std::string name;
    std::string xdgName;
    QSize mode; // the current mode, when the compositor marked one
    int transform = WL_OUTPUT_TRANSFORM_NORMAL;

    Output() = default;
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;
    ~Output() {
        if (xdg != nullptr) {
            zxdg_output_v1_destroy(xdg);
        }
        if (output != nullptr) {
            if (wl_output_get_version(output) >= WL_OUTPUT_RELEASE_SINCE_VERSION) {
                wl_output_release(output);
            } else {
                wl_output_destroy(output);
            }
        }
    }
    const std::string& anyName() const { return name.empty() ? xdgName : name; }
};

struct Query {
    wl_display* display = nullptr;
    wl_registry* registry = nullptr;
    zxdg_output_manager_v1* xdgManager = nullptr;
    std::vector<std::unique_ptr<Output>> outputs;

    Query() = default;
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;
    ~Query() {
        outputs.clear();
        if (xdgManager != nullptr) {
            zxdg_output_manager_v1_destroy(xdgManager);
        }
        if (registry != nullptr) {
            wl_registry_destroy(registry);
        }
        if (display != nullptr) {
            wl_display_disconnect(display);
        }
    }

    // Sends a sync and dispatches until the compositor has answered it:
    // every request before it has been handled and its events seen. False
    // when `deadline` passes first or the connection fails.
    bool roundtrip(Clock::time_point deadline);
};

const wl_output_listener kOutputListener = {
    .geometry = [](void* data, wl_output*, int32_t, int32_t, int32_t, int32_t, int32_t, const char*,
                   const char*,
                   int32_t transform) { static_cast<Output*>(data)->transform = transform; },
    .mode =
        [](void* data, wl_output*, uint32_t flags, int32_t width, int32_t height, int32_t) {
            if ((flags & WL_OUTPUT_MODE_CURRENT) != 0) {
                static_cast<Output*>(data)->mode = QSize(width, height);
            }
        },
    .done = [](void*, wl_output*) {},
    .scale = [](void*, wl_output*, int32_t) {},
    .name = [](void* data, wl_output*,
               const char* name) { static_cast<Output*>(data)->name = name; },
    .description = [](void*, wl_output*, const char*) {},
};

const zxdg_output_v1_listener kXdgOutputListener = {
    .logical_position = [](void*, zxdg_output_v1*, int32_t, int32_t) {},
    .logical_size = [](void*, zxdg_output_v1*, int32_t, int32_t) {},
    .done = [](void*, zxdg_output_v1*) {},
    .name = [](void* data, zxdg_output_v1*,
               const char* name) { static_cast<Output*>(data)->xdgName = name; },
    .description = [](void*, zxdg_output_v1*, const char*) {},
};

const wl_registry_listener kRegistryListener = {
    .global =
        [](void* data, wl_registry* registry, uint32_t name, const char* interface,
           uint32_t version) {
            Query& q = *static_cast<Query*>(data);
            if (std::strcmp(interface, wl_output_interface.name) == 0) {
                auto out = std::make_unique<Output>();
                out->output = static_cast<wl_output*>(
                    wl_registry_bind(registry, name, &wl_output_interface, std::min(version, 4U)));
                wl_output_add_listener(out->output, &kOutputListener, out.get());
                q.outputs.push_back(std::move(out));
            } else if (std::strcmp(interface, zxdg_output_manager_v1_interface.name) == 0 &&
                       version >= 2) {
                // Names arrived in version 2.
                q.xdgManager = static_cast<zxdg_output_manager_v1*>(wl_registry_bind(
                    registry, name, &zxdg_output_manager_v1_interface, std::min(version, 3U)));
            }
        },
    .global_remove = [](void*, wl_registry*, uint32_t) {},
};

const wl_callback_listener kSyncListener = {
    .done = [](void* data, wl_callback*, uint32_t) { *static_cast<bool*>(data) = true; },
};

bool Query::roundtrip(Clock::time_point deadline) {
    bool synced = false;
    wl_callback* callback = wl_display_sync(display);
    wl_callback_add_listener(callback, &kSyncListener, &synced);
    const auto ended = [&](bool ok) {
        wl_callback_destroy(callback);
        return ok;
    };
    while (!synced) {
        while (wl_display_prepare_read(display) != 0) {
            if (wl_display_dispatch_pending(display) < 0) {
                return ended(false);
            }
        }
        if (synced) {
            wl_display_cancel_read(display);
            break;
        }
        if (wl_display_flush(display) < 0 && errno != EAGAIN) {
            wl_display_cancel_read(display);
            return ended(false);
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            wl_display_cancel_read(display);
            return ended(false);
        }
        pollfd fd{wl_display_get_fd(display), POLLIN, 0};
        const int polled = ::poll(&fd, 1, int(std::min<long long>(left, 1000)));
        if (polled <= 0) {
            wl_display_cancel_read(display);
            if (polled < 0 && errno != EINTR) {
                return ended(false);
            }
            continue;
        }
        if (wl_display_read_events(display) < 0 || wl_display_dispatch_pending(display) < 0) {
            return ended(false);
        }
    }
    return ended(true);
}

} // namespace

std::optional<QSize> waylandOutputDeviceSize(const QString& name, double timeoutSeconds) {
    Query q;
    q.display = wl_display_connect(nullptr);
    if (q.display == nullptr) {
        return std::nullopt;
    }
    const auto deadline =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(
                           std::chrono::duration<double>(std::max(0.0, timeoutSeconds)));
    q.registry = wl_display_get_registry(q.display);
    wl_registry_add_listener(q.registry, &kRegistryListener, &q);
    // The globals first; then the outputs' own events, and xdg-output's
    // names for outputs whose wl_output has none.
    if (!q.roundtrip(deadline)) {
        return std::nullopt;
    }
    if (q.xdgManager != nullptr) {
        for (auto& out : q.outputs) {
            if (wl_output_get_version(out->output) < WL_OUTPUT_NAME_SINCE_VERSION) {
                out->xdg = zxdg_output_manager_v1_get_xdg_output(q.xdgManager, out->output);
                zxdg_output_v1_add_listener(out->xdg, &kXdgOutputListener, out.get());
            }
        }
    }
    if (!q.roundtrip(deadline)) {
        return std::nullopt;
    }
    const std::string wanted = name.toStdString();
    for (const auto& out : q.outputs) {
        if (out->anyName() == wanted && !out->mode.isEmpty()) {
            return outputDeviceSize(out->mode, out->transform);
        }
    }
    return std::nullopt;
}

} // namespace zs
