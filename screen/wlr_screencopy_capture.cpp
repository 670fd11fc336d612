#include "screen/wlr_screencopy_capture.h"

#include "screen/backend_choice.h"
#include "screen/primary_screen.h"
#include "screen/wayland_frame.h"
#include "services/unique_fd.h"

#include "wlr-screencopy-unstable-v1-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QScopeGuard>
#include <QScreen>

#include <wayland-client.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/mman.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace zs {

namespace {

using Clock = std::chrono::steady_clock;

// The largest frame accepted (a 16K x 8K output at 4 bytes a pixel).
constexpr std::uint64_t kMaxFrameBytes = std::uint64_t(512) << 20;

// How long open() waits for the compositor to list its globals.
constexpr double kOpenTimeoutSeconds = 2;

// One output the compositor announced.
struct Output {
    std::uint32_t global = 0;
    wl_output* output = nullptr;
    zxdg_output_v1* xdg = nullptr;
    std::string name;    // wl_output's own (version 4)
    std::string xdgName; // xdg-output's, where wl_output has none
    int transform = WL_OUTPUT_TRANSFORM_NORMAL;

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

// A wl_shm buffer over a memfd, kept between grabs of the same layout.
struct ShmBuffer {
    UniqueFd fd;
    void* map = MAP_FAILED;
    std::size_t size = 0;
    wl_buffer* buffer = nullptr;
    std::uint32_t format = 0;
    int width = 0, height = 0, stride = 0;

    ShmBuffer() = default;
    ShmBuffer(const ShmBuffer&) = delete;
    ShmBuffer& operator=(const ShmBuffer&) = delete;
    ~ShmBuffer() {
        if (buffer != nullptr) {
            wl_buffer_destroy(buffer);
        }
        if (map != MAP_FAILED) {
            ::munmap(map, size);
        }
    }
    bool fits(const ShmFrame& f) const {
        return format == f.format && width == f.width && height == f.height && stride == f.stride;
    }
};

// The events of one frame.
struct FrameEvents {
    bool shmOffered = false;
    ShmFrame layout;
    bool buffersDone = false;
    bool yInverted = false;
    bool ready = false;
    bool failed = false;
};

// Listeners: only the events the grab needs do anything.
const wl_output_listener kOutputListener = {
    .geometry = [](void* data, wl_output*, int32_t, int32_t, int32_t, int32_t, int32_t, const char*,
                   const char*,
                   int32_t transform) { static_cast<Output*>(data)->transform = transform; },
    .mode = [](void*, wl_output*, uint32_t, int32_t, int32_t, int32_t) {},
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

FrameEvents& events(void* data) {
    return *static_cast<FrameEvents*>(data);
}

const zwlr_screencopy_frame_v1_listener kFrameListener = {
    .buffer =
        [](void* data, zwlr_screencopy_frame_v1*, uint32_t format, uint32_t width, uint32_t height,
           uint32_t stride) {
            FrameEvents& e = events(data);
            e.shmOffered = true;
            e.layout.format = format;
            // Larger than an int: refused later as unreadable.
            e.layout.width = int(std::min<uint32_t>(width, INT32_MAX));
            e.layout.height = int(std::min<uint32_t>(height, INT32_MAX));
            e.layout.stride = int(std::min<uint32_t>(stride, INT32_MAX));
        },
    .flags =
        [](void* data, zwlr_screencopy_frame_v1*, uint32_t flags) {
            events(data).yInverted = (flags & ZWLR_SCREENCOPY_FRAME_V1_FLAGS_Y_INVERT) != 0;
        },
    .ready = [](void* data, zwlr_screencopy_frame_v1*, uint32_t, uint32_t,
                uint32_t) { events(data).ready = true; },
    .failed = [](void* data, zwlr_screencopy_frame_v1*) { events(data).failed = true; },
    .damage = [](void*, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t, uint32_t) {},
    .linux_dmabuf = [](void*, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t) {},
    .buffer_done = [](void* data, zwlr_screencopy_frame_v1*) { events(data).buffersDone = true; },
};

const wl_callback_listener kSyncListener = {
    .done = [](void* data, wl_callback*, uint32_t) { *static_cast<bool*>(data) = true; },
};

} // namespace

struct WlrScreencopyCapture::State {
    wl_display* display = nullptr;
    wl_registry* registry = nullptr;
    zwlr_screencopy_manager_v1* manager = nullptr;
    wl_shm* shm = nullptr;
    zxdg_output_manager_v1* xdgManager = nullptr;
    std::vector<std::unique_ptr<Output>> outputs;
    std::unique_ptr<ShmBuffer> buffer;

    State() = default;
    State(const State&) = delete;
    State& operator=(const State&) = delete;
    ~State() {
        buffer.reset();
        outputs.clear();
        if (xdgManager != nullptr) {
            zxdg_output_manager_v1_destroy(xdgManager);
        }
        if (manager != nullptr) {
            zwlr_screencopy_manager_v1_destroy(manager);
        }
        if (shm != nullptr) {
            wl_shm_destroy(shm);
        }
        if (registry != nullptr) {
            wl_registry_destroy(registry);
        }
        if (display != nullptr) {
            wl_display_disconnect(display);
        }
    }

    void watchXdgName(Output& out) {
        if (xdgManager != nullptr && out.xdg == nullptr &&
            wl_output_get_version(out.output) < WL_OUTPUT_NAME_SINCE_VERSION) {
            out.xdg = zxdg_output_manager_v1_get_xdg_output(xdgManager, out.output);
            zxdg_output_v1_add_listener(out.xdg, &kXdgOutputListener, &out);
        }
    }

    void addGlobal(std::uint32_t name, const char* interface, std::uint32_t version) {
        if (std::strcmp(interface, zwlr_screencopy_manager_v1_interface.name) == 0) {
            manager = static_cast<zwlr_screencopy_manager_v1*>(wl_registry_bind(
                registry, name, &zwlr_screencopy_manager_v1_interface, std::min(version, 3U)));
        } else if (std::strcmp(interface, wl_shm_interface.name) == 0) {
            shm = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
        } else if (std::strcmp(interface, zxdg_output_manager_v1_interface.name) == 0 &&
                   version >= 2) {
            // Names arrived in version 2.
            xdgManager = static_cast<zxdg_output_manager_v1*>(wl_registry_bind(
                registry, name, &zxdg_output_manager_v1_interface, std::min(version, 3U)));
            for (auto& out : outputs) {
                watchXdgName(*out);
            }
        } else if (std::strcmp(interface, wl_output_interface.name) == 0) {
            auto out = std::make_unique<Output>();
            out->global = name;
            out->output = static_cast<wl_output*>(
                wl_registry_bind(registry, name, &wl_output_interface, std::min(version, 4U)));
            wl_output_add_listener(out->output, &kOutputListener, out.get());
            watchXdgName(*out);
            outputs.push_back(std::move(out));
        }
    }

    void removeGlobal(std::uint32_t name) {
        std::erase_if(outputs, [name](const auto& out) { return out->global == name; });
    }

    // Dispatches the connection's events until `done()` holds; false when
    // `deadline` passes first or the connection fails.
    template <typename Done> bool dispatchUntil(Clock::time_point deadline, Done done) {
        while (!done()) {
            while (wl_display_prepare_read(display) != 0) {
                if (wl_display_dispatch_pending(display) < 0) {
                    return false;
                }
            }
            if (done()) {
                wl_display_cancel_read(display);
                return true;
            }
            if (wl_display_flush(display) < 0 && errno != EAGAIN) {
                wl_display_cancel_read(display);
                return false;
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) {
                wl_display_cancel_read(display);
                return false;
            }
            pollfd fd{wl_display_get_fd(display), POLLIN, 0};
            const int polled = ::poll(&fd, 1, int(std::min<long long>(left.count(), 1000)));
            if (polled <= 0) {
                wl_display_cancel_read(display);
                if (polled < 0 && errno != EINTR) {
                    return false;
                }
                continue;
            }
            if (wl_display_read_events(display) < 0 || wl_display_dispatch_pending(display) < 0) {
                return false;
            }
        }
        return true;
    }

    // Waits until the compositor has handled every request sent so far.
    bool roundtrip(Clock::time_point deadline) {
        bool synced = false;
        wl_callback* callback = wl_display_sync(display);
        wl_callback_add_listener(callback, &kSyncListener, &synced);
        const bool ok = dispatchUntil(deadline, [&] { return synced; });
        wl_callback_destroy(callback);
        return ok;
    }

    // A buffer for `layout`, kept from the last grab when it fits.
    ShmBuffer* bufferFor(const ShmFrame& layout, QString& failure);

    // The picture of the output called `outputName`, or why there is none.
    CaptureResult grab(const std::string& outputName, Clock::time_point deadline);
};

namespace {

const wl_registry_listener kRegistryListener = {
    .global =
        [](void* data, wl_registry*, uint32_t name, const char* interface, uint32_t version) {
            static_cast<WlrScreencopyCapture::State*>(data)->addGlobal(name, interface, version);
        },
    .global_remove =
        [](void* data, wl_registry*, uint32_t name) {
            static_cast<WlrScreencopyCapture::State*>(data)->removeGlobal(name);
        },
};

Clock::time_point deadlineIn(double seconds) {
    return Clock::now() +
           std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

QString systemError(const char* what) {
    return QStringLiteral("%1 failed: %2")
        .arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace

ShmBuffer* WlrScreencopyCapture::State::bufferFor(const ShmFrame& layout, QString& failure) {
    if (buffer && buffer->fits(layout)) {
        return buffer.get();
    }
    buffer.reset();
    const std::uint64_t size = std::uint64_t(layout.stride) * std::uint64_t(layout.height);
    if (size > kMaxFrameBytes) {
        failure = QStringLiteral("The compositor's frame (%1 pixels) is too large to copy.")
                      .arg(sizeText(QSize(layout.width, layout.height)));
        return nullptr;
    }
    auto made = std::make_unique<ShmBuffer>();
    made->fd.reset(::memfd_create("zentrim-screencopy", MFD_CLOEXEC | MFD_ALLOW_SEALING));
    if (made->fd.get() < 0) {
        failure = systemError("memfd_create");
        return nullptr;
    }
    if (::ftruncate(made->fd.get(), off_t(size)) != 0) {
        failure = systemError("Sizing the shared memory");
        return nullptr;
    }
    // The compositor may not shrink what it maps.
    ::fcntl(made->fd.get(), F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_SEAL);
    made->size = std::size_t(size);
    made->map = ::mmap(nullptr, made->size, PROT_READ | PROT_WRITE, MAP_SHARED, made->fd.get(), 0);
    if (made->map == MAP_FAILED) {
        failure = systemError("Mapping the shared memory");
        return nullptr;
    }
    wl_shm_pool* pool = wl_shm_create_pool(shm, made->fd.get(), int32_t(size));
    made->buffer = wl_shm_pool_create_buffer(pool, 0, layout.width, layout.height, layout.stride,
                                             layout.format);
    wl_shm_pool_destroy(pool);
    made->format = layout.format;
    made->width = layout.width;
    made->height = layout.height;
    made->stride = layout.stride;
    buffer = std::move(made);
    return buffer.get();
}

CaptureResult WlrScreencopyCapture::State::grab(const std::string& outputName,
                                                Clock::time_point deadline) {
    const auto noAnswer = [this] {
        if (const int error = wl_display_get_error(display); error != 0) {
            return CaptureResult::failed(
                QStringLiteral("The connection to the compositor failed (%1).")
                    .arg(QString::fromLocal8Bit(std::strerror(error))));
        }
        return CaptureResult::failed(
            QStringLiteral("The compositor did not copy the screen in time (screencopy)."));
    };
    // Outputs added or removed since the last grab.
    if (!roundtrip(deadline)) {
        return noAnswer();
    }
    const auto found = std::find_if(outputs.begin(), outputs.end(),
                                    [&](const auto& out) { return out->anyName() == outputName; });
    if (found == outputs.end()) {
        return CaptureResult::failed(
            QStringLiteral("The compositor lists no output called \"%1\", the primary screen.")
                .arg(QString::fromStdString(outputName)));
    }
    // Kept by its global's name: the output may go while the frame is copied.
    const std::uint32_t global = (*found)->global;

    FrameEvents events;
    zwlr_screencopy_frame_v1* frame =
        zwlr_screencopy_manager_v1_capture_output(manager, /*overlay_cursor=*/0, (*found)->output);
    zwlr_screencopy_frame_v1_add_listener(frame, &kFrameListener, &events);
    const auto destroyFrame = qScopeGuard([frame] { zwlr_screencopy_frame_v1_destroy(frame); });

    // Version 3 ends the list of buffer kinds with buffer_done; older ones
    // send the one wl_shm kind at once, so a round trip sees it.
    const bool listed =
        zwlr_screencopy_frame_v1_get_version(frame) >=
                ZWLR_SCREENCOPY_FRAME_V1_BUFFER_DONE_SINCE_VERSION
            ? dispatchUntil(deadline, [&] { return events.buffersDone || events.failed; })
            : roundtrip(deadline);
    if (!listed) {
        return noAnswer();
    }
    if (events.failed || !events.shmOffered) {
        return CaptureResult::failed(
            QStringLiteral("The compositor refused to copy the output %1 into shared memory.")
                .arg(QString::fromStdString(outputName)));
    }
    if (!shmFrameIsReadable(events.layout)) {
        return CaptureResult::failed(
            QStringLiteral("The compositor offers the screen in a pixel format this program "
                           "does not read (wl_shm format 0x%1).")
                .arg(events.layout.format, 0, 16));
    }
    QString failure;
    ShmBuffer* target = bufferFor(events.layout, failure);
    if (target == nullptr) {
        return CaptureResult::failed(failure);
    }
    zwlr_screencopy_frame_v1_copy(frame, target->buffer);
    if (!dispatchUntil(deadline, [&] { return events.ready || events.failed; })) {
        return noAnswer();
    }
    if (events.failed) {
        return CaptureResult::failed(QStringLiteral("The compositor failed to copy the output %1.")
                                         .arg(QString::fromStdString(outputName)));
    }
    const auto still = std::find_if(outputs.begin(), outputs.end(),
                                    [&](const auto& out) { return out->global == global; });
    if (still == outputs.end()) {
        return CaptureResult::failed(QStringLiteral("The output %1 went away while it was copied.")
                                         .arg(QString::fromStdString(outputName)));
    }
    ShmFrame pixels = events.layout;
    pixels.data = static_cast<const uchar*>(target->map);
    return CaptureResult::copied(frameImage(pixels, events.yInverted, (*still)->transform));
}

WlrScreencopyCapture::WlrScreencopyCapture(std::unique_ptr<State> state, double timeoutSeconds)
    : m_state(std::move(state)), m_timeoutSeconds(timeoutSeconds) {}

WlrScreencopyCapture::~WlrScreencopyCapture() = default;

std::unique_ptr<WlrScreencopyCapture> WlrScreencopyCapture::open(const QString& display,
                                                                 double timeoutSeconds) {
    auto state = std::make_unique<State>();
    const QByteArray name = display.toLocal8Bit();
    state->display = wl_display_connect(display.isEmpty() ? nullptr : name.constData());
    if (state->display == nullptr) {
        return nullptr;
    }
    state->registry = wl_display_get_registry(state->display);
    wl_registry_add_listener(state->registry, &kRegistryListener, state.get());
    const auto deadline = deadlineIn(kOpenTimeoutSeconds);
    // The globals, then what the outputs tell about themselves.
    if (!state->roundtrip(deadline) || state->manager == nullptr || state->shm == nullptr ||
        !state->roundtrip(deadline)) {
        return nullptr;
    }
    return std::unique_ptr<WlrScreencopyCapture>(
        new WlrScreencopyCapture(std::move(state), timeoutSeconds));
}

CaptureResult WlrScreencopyCapture::grabPrimary(IEventPump& pump) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return CaptureResult::failed(QStringLiteral("There is no screen to copy."));
    }
    return grabOutput(pump, screen->name());
}

CaptureResult WlrScreencopyCapture::grabOutput(IEventPump& pump, const QString& outputName) {
    // The compositor is waited for, and the frame converted, on a thread of
    // its own, which alone uses the connection until it ends; it ends by
    // the deadline whatever the compositor does, so joining it is bounded.
    QElapsedTimer timer;
    timer.start();
    const auto deadline = deadlineIn(m_timeoutSeconds);
    const std::string name = outputName.toStdString();
    CaptureResult result = CaptureResult::failed(QString());
    std::atomic<bool> finished{false};
    std::thread worker([&] {
        result = m_state->grab(name, deadline);
        finished.store(true, std::memory_order_release);
    });
    waitUntil(pump, m_timeoutSeconds + 1, [&] { return finished.load(std::memory_order_acquire); });
    worker.join();
    qCDebug(lcCapture) << "screencopy of" << outputName << "took" << timer.elapsed() << "ms"
                       << (result.ok() ? "" : qPrintable(result.failure()));
    return result;
}

} // namespace zs
