#include "screen/x11_shm_capture.h"

#include "screen/primary_screen.h"
#include "screen/x11_pixels.h"
#include "services/qt/x11_connection.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <sys/ipc.h>
#include <sys/mman.h>
#include <sys/shm.h>
#include <sys/socket.h>
#include <unistd.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>

namespace zs {

std::vector<ShmAttach> shmAttachOrder(const ShmOffer& offer, std::optional<ShmAttach> only) {
    std::vector<ShmAttach> order;
    if (!offer.extension || !offer.localSocket) {
        return order;
    }
    if (offer.major > 1 || (offer.major == 1 && offer.minor >= 2)) {
        order.push_back(ShmAttach::Fd);
    }
    order.push_back(ShmAttach::Id);
    if (only) {
        std::erase_if(order, [&](ShmAttach a) { return a != *only; });
    }
    return order;
}

namespace {

// A grab asks for the screen in about this many bands (measured: a dozen
// overlaps the two copies best on both 1920x1080 and 3840x2160).
constexpr int kBands = 12;
constexpr int kMinBandRows = 32;

template <typename T> struct FreeDeleter {
    void operator()(T* p) const { std::free(p); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeDeleter<T>>;

// $DISPLAY's screen number, the screen Qt's connection works on.
int displayScreenNumber() {
    int number = 0;
    char* host = nullptr;
    int display = 0;
    if (xcb_parse_display(nullptr, &host, &display, &number) == 0) {
        number = 0;
    }
    std::free(host);
    return number;
}

xcb_screen_t* screenOf(xcb_connection_t* c, int number) {
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < number && it.rem > 1; ++i) {
        xcb_screen_next(&it);
    }
    return it.data;
}

x11::PixelFormat rootFormat(xcb_connection_t* c, const xcb_screen_t& screen) {
    const xcb_setup_t* setup = xcb_get_setup(c);
    x11::PixelFormat format;
    format.depth = screen.root_depth;
    format.lsbFirst = setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST;
    for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem > 0; xcb_format_next(&f)) {
        if (f.data->depth == screen.root_depth) {
            format.bitsPerPixel = f.data->bits_per_pixel;
            format.scanlinePad = f.data->scanline_pad;
        }
    }
    for (auto d = xcb_screen_allowed_depths_iterator(&screen); d.rem > 0; xcb_depth_next(&d)) {
        for (auto v = xcb_depth_visuals_iterator(d.data); v.rem > 0; xcb_visualtype_next(&v)) {
            if (v.data->visual_id == screen.root_visual) {
                format.trueColor = v.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR;
                format.redMask = v.data->red_mask;
                format.greenMask = v.data->green_mask;
                format.blueMask = v.data->blue_mask;
            }
        }
    }
    return format;
}

ShmOffer offerOf(xcb_connection_t* c) {
    ShmOffer offer;
    const xcb_query_extension_reply_t* ext = xcb_get_extension_data(c, &xcb_shm_id);
    offer.extension = ext != nullptr && ext->present != 0;
    if (offer.extension) {
        const Reply<xcb_shm_query_version_reply_t> version(
            xcb_shm_query_version_reply(c, xcb_shm_query_version(c), nullptr));
        offer.extension = version != nullptr;
        if (version) {
            offer.major = version->major_version;
            offer.minor = version->minor_version;
        }
    }
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    offer.localSocket = getsockname(xcb_get_file_descriptor(c),
                                    reinterpret_cast<sockaddr*>(&address), &length) == 0 &&
                        address.ss_family == AF_UNIX;
    return offer;
}

QString errorName(int code) {
    switch (code) {
    case XCB_VALUE:
        return QStringLiteral("BadValue");
    case XCB_MATCH:
        return QStringLiteral("BadMatch");
    case XCB_DRAWABLE:
        return QStringLiteral("BadDrawable");
    case XCB_ACCESS:
        return QStringLiteral("BadAccess");
    case XCB_ALLOC:
        return QStringLiteral("BadAlloc");
    default:
        return QStringLiteral("error %1").arg(code);
    }
}

// Memory shared with the server, attached on both sides; detached on both
// when destroyed. A System V segment is marked for removal as soon as the
// server has attached it, so it disappears with the process however that
// ends.
class SharedMemory {
public:
    static std::unique_ptr<SharedMemory> create(xcb_connection_t* c, ShmAttach how,
                                                std::size_t bytes) {
        auto memory = std::unique_ptr<SharedMemory>(new SharedMemory(c, how, bytes));
        const bool attached = how == ShmAttach::Fd ? memory->attachFd() : memory->attachId();
        return attached ? std::move(memory) : nullptr;
    }
    SharedMemory(const SharedMemory&) = delete;
    SharedMemory& operator=(const SharedMemory&) = delete;
    ~SharedMemory() {
        if (m_seg != 0 && xcb_connection_has_error(m_connection) == 0) {
            xcb_shm_detach(m_connection, m_seg);
            xcb_flush(m_connection);
        }
        if (m_address == nullptr) {
            return;
        }
        if (m_how == ShmAttach::Fd) {
            munmap(m_address, m_size);
        } else {
            shmdt(m_address);
        }
    }

    xcb_shm_seg_t seg() const { return m_seg; }
    std::uint8_t* data() const { return static_cast<std::uint8_t*>(m_address); }
    std::size_t size() const { return m_size; }

private:
    SharedMemory(xcb_connection_t* c, ShmAttach how, std::size_t bytes)
        : m_connection(c), m_how(how), m_size(bytes) {}

    bool attachFd() {
        const int fd = memfd_create("zentrim-screen-grab", MFD_CLOEXEC);
        if (fd < 0) {
            return false;
        }
        void* address = ftruncate(fd, static_cast<off_t>(m_size)) == 0
                            ? mmap(nullptr, m_size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0)
                            : MAP_FAILED;
        if (address == MAP_FAILED) {
            close(fd);
            return false;
        }
        m_address = address;
        // XCB closes the descriptor once it is sent; the mapping stays.
        return attachChecked(xcb_shm_attach_fd_checked(m_connection, newSeg(), fd, 0));
    }

    bool attachId() {
        const int id = shmget(IPC_PRIVATE, m_size, IPC_CREAT | 0600);
        if (id < 0) {
            return false;
        }
        void* address = shmat(id, nullptr, 0);
        // shmat's error value is the address -1.
        if (address == reinterpret_cast<void*>(-1)) { // NOLINT(performance-no-int-to-ptr)
            shmctl(id, IPC_RMID, nullptr);
            return false;
        }
        m_address = address;
        const bool ok = attachChecked(
            xcb_shm_attach_checked(m_connection, newSeg(), static_cast<std::uint32_t>(id), 0));
        shmctl(id, IPC_RMID, nullptr);
        return ok;
    }

    xcb_shm_seg_t newSeg() {
        m_pendingSeg = xcb_generate_id(m_connection);
        return m_pendingSeg;
    }

    bool attachChecked(xcb_void_cookie_t cookie) {
        xcb_generic_error_t* error = xcb_request_check(m_connection, cookie);
        if (error != nullptr) {
            std::free(error);
            return false;
        }
        m_seg = m_pendingSeg;
        return true;
    }

    xcb_connection_t* m_connection;
    ShmAttach m_how;
    std::size_t m_size;
    void* m_address = nullptr;
    xcb_shm_seg_t m_seg = 0;
    xcb_shm_seg_t m_pendingSeg = 0;
};

// Whether the server writes into `memory` and not into some other segment
// (one of the same id in another IPC namespace): it copies a 1 x 1 pixmap of
// a known colour into memory that holds the colour's complement.
bool serverWritesInto(xcb_connection_t* c, const SharedMemory& memory, const xcb_screen_t& screen,
                      const x11::PixelFormat& format) {
    const std::uint32_t depthMask =
        format.depth >= 32 ? 0xFFFFFFFFu : (std::uint32_t{1} << format.depth) - 1;
    const std::uint32_t colour = 0x5AC396A5u & depthMask;
    const std::size_t bytes = static_cast<std::size_t>(format.bitsPerPixel) / 8;
    const std::uint32_t complement = ~colour;
    std::memcpy(memory.data(), &complement, bytes);

    const xcb_pixmap_t pixmap = xcb_generate_id(c);
    xcb_create_pixmap(c, screen.root_depth, pixmap, screen.root, 1, 1);
    const xcb_gcontext_t gc = xcb_generate_id(c);
    xcb_create_gc(c, gc, pixmap, XCB_GC_FOREGROUND, &colour);
    const xcb_rectangle_t pixel{0, 0, 1, 1};
    xcb_poly_fill_rectangle(c, pixmap, gc, 1, &pixel);
    xcb_generic_error_t* error = nullptr;
    const Reply<xcb_shm_get_image_reply_t> reply(xcb_shm_get_image_reply(
        c,
        xcb_shm_get_image(c, pixmap, 0, 0, 1, 1, ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP, memory.seg(), 0),
        &error));
    std::free(error);
    xcb_free_gc(c, gc);
    xcb_free_pixmap(c, pixmap);
    if (!reply || error != nullptr) {
        return false;
    }
    std::uint32_t written = 0;
    std::memcpy(&written, memory.data(), bytes);
    return (written & depthMask) == colour;
}

// The picture to copy into, spare[0] on return. The newer of the two spares
// is reused once nobody else holds it (the surface has let go of that
// capture), else the older is; a spare still held elsewhere is replaced by a
// new picture (the holder keeps its pixels). Reusing saves the first-touch
// faults of a new frame's pages on every capture, at the price of keeping
// one frame more.
QImage& destination(QImage (&spare)[2], QSize size) {
    const auto reusable = [&](const QImage& image) {
        return !image.isNull() && image.size() == size && image.isDetached();
    };
    if (!reusable(spare[0])) {
        if (!reusable(spare[1])) {
            spare[1] = QImage(size, QImage::Format_RGB32);
        }
        std::swap(spare[0], spare[1]);
    }
    return spare[0];
}

} // namespace

struct X11ShmCapture::State {
    xcb_connection_t* connection = nullptr;
    const xcb_screen_t* screen = nullptr; // lives in the connection's setup
    ShmAttach how = ShmAttach::Fd;
    x11::PixelFormat format;
    x11::RootPixels layout = x11::RootPixels::Rgb888x32;
    std::unique_ptr<SharedMemory> memory;
    QImage spare[2];

    // Memory of at least `bytes`, attached the chosen way; null when the
    // server refuses it.
    SharedMemory* memoryFor(std::size_t bytes, const xcb_screen_t& screen) {
        if (memory && memory->size() >= bytes) {
            return memory.get();
        }
        memory.reset();
        auto fresh = SharedMemory::create(connection, how, bytes);
        if (fresh && serverWritesInto(connection, *fresh, screen, format)) {
            memory = std::move(fresh);
        }
        return memory.get();
    }
};

std::unique_ptr<X11ShmCapture> X11ShmCapture::open(std::optional<ShmAttach> only) {
    xcb_connection_t* c = x11::connection();
    return c != nullptr ? openScreen(c, displayScreenNumber(), only) : nullptr;
}

std::unique_ptr<X11ShmCapture> X11ShmCapture::openOn(xcb_connection_t* c,
                                                     std::optional<ShmAttach> only) {
    return c != nullptr ? openScreen(c, 0, only) : nullptr;
}

std::unique_ptr<X11ShmCapture> X11ShmCapture::openScreen(xcb_connection_t* c, int screenNumber,
                                                         std::optional<ShmAttach> only) {
    const xcb_screen_t* screen = screenOf(c, screenNumber);
    if (screen == nullptr) {
        return nullptr;
    }
    auto state = std::make_unique<State>();
    state->connection = c;
    state->screen = screen;
    state->format = rootFormat(c, *screen);
    const auto layout = x11::rootPixels(state->format);
    if (!layout) {
        return nullptr;
    }
    state->layout = *layout;
    // Sized for the whole root window at once, so that grabs of any part of
    // it need no new memory.
    const std::size_t bytes = x11::rowBytes(state->format, screen->width_in_pixels) *
                              static_cast<std::size_t>(screen->height_in_pixels);
    for (const ShmAttach how : shmAttachOrder(offerOf(c), only)) {
        state->how = how;
        if (state->memoryFor(bytes, *screen) != nullptr) {
            return std::unique_ptr<X11ShmCapture>(new X11ShmCapture(std::move(state)));
        }
    }
    return nullptr;
}

X11ShmCapture::X11ShmCapture(std::unique_ptr<State> state) : m_state(std::move(state)) {}

X11ShmCapture::~X11ShmCapture() = default;

QString X11ShmCapture::name() const {
    return m_state->how == ShmAttach::Fd ? QStringLiteral("x11-shm-fd")
                                         : QStringLiteral("x11-shm-id");
}

ShmAttach X11ShmCapture::attach() const {
    return m_state->how;
}

CaptureResult X11ShmCapture::grabPrimary(IEventPump& /*pump*/) {
    return grabRoot(primaryScreenDevicePixels());
}

CaptureResult X11ShmCapture::grabRoot(const QRect& source) {
    xcb_connection_t* c = m_state->connection;
    if (xcb_connection_has_error(c) != 0) {
        return CaptureResult::failed(QStringLiteral("The connection to the X server is broken."));
    }
    const xcb_screen_t* screen = m_state->screen;
    // The root window's size now: the server's first report goes stale when
    // the screen is resized (RandR).
    const Reply<xcb_get_geometry_reply_t> root(
        xcb_get_geometry_reply(c, xcb_get_geometry(c, screen->root), nullptr));
    if (!root) {
        return CaptureResult::failed(QStringLiteral("The X server did not describe its screen."));
    }
    const QRect area = source.intersected(QRect(0, 0, root->width, root->height));
    // Clipped: a screen whose device size Qt rounded may reach a pixel past
    // the root window.
    if (area.isEmpty()) {
        return CaptureResult::failed(
            QStringLiteral("The primary screen (%1 at %2, %3) lies outside the X screen.")
                .arg(sizeText(source.size()))
                .arg(source.x())
                .arg(source.y()));
    }
    const std::size_t rowBytes = x11::rowBytes(m_state->format, area.width());
    const std::size_t rootBytes = x11::rowBytes(m_state->format, root->width) * root->height;
    SharedMemory* memory =
        m_state->memoryFor(std::max(rootBytes, rowBytes * area.height()), *screen);
    if (memory == nullptr) {
        return CaptureResult::failed(
            QStringLiteral("The X server no longer shares memory with this program."));
    }
    // Written in place (its only holder), handed out shared once full.
    QImage& dest = destination(m_state->spare, area.size());
    if (dest.isNull()) {
        return CaptureResult::failed(QStringLiteral("There is not enough memory for the copy."));
    }

    // The area is asked for in bands, all requested at once: while the
    // server fills band k+1 this process copies band k out, so the two
    // copies overlap instead of following each other.
    const int bandRows = std::max(kMinBandRows, (area.height() + kBands - 1) / kBands);
    std::vector<xcb_shm_get_image_cookie_t> cookies;
    for (int y = 0; y < area.height(); y += bandRows) {
        const int rows = std::min(bandRows, area.height() - y);
        cookies.push_back(xcb_shm_get_image(
            c, screen->root, static_cast<std::int16_t>(area.x()),
            static_cast<std::int16_t>(area.y() + y), static_cast<std::uint16_t>(area.width()),
            static_cast<std::uint16_t>(rows), ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP, memory->seg(),
            static_cast<std::uint32_t>(rowBytes * static_cast<std::size_t>(y))));
    }
    xcb_flush(c);

    const std::uint8_t* src = memory->data();
    for (std::size_t band = 0; band < cookies.size(); ++band) {
        const int y0 = static_cast<int>(band) * bandRows;
        const int rows = std::min(bandRows, area.height() - y0);
        xcb_generic_error_t* error = nullptr;
        const Reply<xcb_shm_get_image_reply_t> reply(
            xcb_shm_get_image_reply(c, cookies[band], &error));
        const int code = error != nullptr ? error->error_code : 0;
        std::free(error);
        if (!reply || code != 0 || reply->size < rowBytes * static_cast<std::size_t>(rows)) {
            for (std::size_t rest = band + 1; rest < cookies.size(); ++rest) {
                xcb_discard_reply(c, cookies[rest].sequence);
            }
            if (xcb_connection_has_error(c) != 0) {
                return CaptureResult::failed(
                    QStringLiteral("The connection to the X server broke during the copy."));
            }
            return CaptureResult::failed(
                QStringLiteral("The X server refused the screen copy (%1).").arg(errorName(code)));
        }
        for (int y = y0; y < y0 + rows; ++y) {
            x11::convertRow(m_state->layout, src + rowBytes * static_cast<std::size_t>(y),
                            reinterpret_cast<std::uint32_t*>(dest.scanLine(y)), area.width());
        }
    }
    return CaptureResult::copied(dest);
}

} // namespace zs
