#include "x11_shm_capture.h"

#include "x11_connection.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <sys/ipc.h>
#include <sys/shm.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zs {

namespace {

// A grab asks for the screen in about this many bands (measured: a dozen
// overlaps the two copies best on both 1920x1080 and 3840x2160).
constexpr int kBands = 12;
constexpr int kMinBandRows = 32;

// The X screen the connection was opened on ($DISPLAY's screen number).
xcb_screen_t* defaultScreen(xcb_connection_t* c) {
    int number = 0;
    char* host = nullptr;
    int display = 0;
    if (xcb_parse_display(nullptr, &host, &display, &number) == 0) {
        number = 0;
    }
    std::free(host);
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < number && it.rem > 1; ++i) {
        xcb_screen_next(&it);
    }
    return it.data;
}

// Whether the root window's pixels are 32-bit little-endian words laid out as
// 0x??RRGGBB, the layout of QImage::Format_RGB32 but for the top byte.
bool rootIsRgb32(xcb_connection_t* c, const xcb_screen_t& screen) {
    const xcb_setup_t* setup = xcb_get_setup(c);
    if (setup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST) {
        return false;
    }
    bool layout = false;
    for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem > 0; xcb_format_next(&f)) {
        if (f.data->depth == screen.root_depth) {
            layout = f.data->bits_per_pixel == 32 && f.data->scanline_pad == 32;
        }
    }
    if (!layout) {
        return false;
    }
    for (auto d = xcb_screen_allowed_depths_iterator(&screen); d.rem > 0; xcb_depth_next(&d)) {
        if (d.data->depth != screen.root_depth) {
            continue;
        }
        for (auto v = xcb_depth_visuals_iterator(d.data); v.rem > 0; xcb_visualtype_next(&v)) {
            if (v.data->visual_id == screen.root_visual) {
                return v.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR &&
                       v.data->red_mask == 0xFF0000 && v.data->green_mask == 0xFF00 &&
                       v.data->blue_mask == 0xFF;
            }
        }
    }
    return false;
}

// Copies one row of pixels, making every pixel opaque: the server leaves the
// top byte as it is (usually 0), Format_RGB32 wants 0xFF there.
void copyOpaque(std::uint32_t* dst, const std::uint32_t* src, int count) {
    int i = 0;
#if defined(__SSE2__)
    const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    for (; i + 8 <= count; i += 8) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i + 4));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_or_si128(a, alpha));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i + 4), _mm_or_si128(b, alpha));
    }
#endif
    for (; i < count; ++i) {
        dst[i] = src[i] | 0xFF000000u;
    }
}

// One shared segment, attached on both sides. The segment is marked for
// removal as soon as the server has attached it, so it disappears with the
// process however that ends; the server side goes with the connection.
class Segment {
public:
    Segment() = default;
    Segment(const Segment&) = delete;
    Segment& operator=(const Segment&) = delete;
    ~Segment() { detachLocal(); }

    // Ready for a grab of `bytes` on connection `c`; false when the
    // extension is missing or refuses the segment.
    bool prepare(xcb_connection_t* c, std::size_t bytes) {
        if (c != m_connection) {
            // A new connection: the old server-side attachment went with the
            // old one.
            detachLocal();
            m_connection = c;
            m_refused = false;
            m_checked = false;
        }
        if (m_refused) {
            return false;
        }
        if (!m_checked) {
            m_checked = true;
            m_refused = !extensionUsable(c);
            if (m_refused) {
                return false;
            }
        }
        if (m_address != nullptr && bytes <= m_size) {
            return true;
        }
        if (m_address != nullptr) {
            xcb_shm_detach(c, m_seg);
            detachLocal();
        }
        const int id = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
        if (id < 0) {
            return false;
        }
        void* address = shmat(id, nullptr, 0);
        if (address == reinterpret_cast<void*>(-1)) {
            shmctl(id, IPC_RMID, nullptr);
            return false;
        }
        const xcb_shm_seg_t seg = xcb_generate_id(c);
        xcb_generic_error_t* error =
            xcb_request_check(c, xcb_shm_attach_checked(c, seg, static_cast<std::uint32_t>(id), 0));
        shmctl(id, IPC_RMID, nullptr);
        if (error != nullptr) {
            // A server on another machine cannot share our memory.
            std::free(error);
            shmdt(address);
            m_refused = true;
            return false;
        }
        m_address = address;
        m_size = bytes;
        m_seg = seg;
        return true;
    }

    xcb_shm_seg_t seg() const { return m_seg; }
    const std::uint8_t* data() const { return static_cast<const std::uint8_t*>(m_address); }

private:
    static bool extensionUsable(xcb_connection_t* c) {
        const xcb_query_extension_reply_t* ext = xcb_get_extension_data(c, &xcb_shm_id);
        if (ext == nullptr || ext->present == 0) {
            return false;
        }
        xcb_shm_query_version_reply_t* version =
            xcb_shm_query_version_reply(c, xcb_shm_query_version(c), nullptr);
        const bool ok = version != nullptr;
        std::free(version);
        return ok;
    }

    void detachLocal() {
        if (m_address != nullptr) {
            shmdt(m_address);
            m_address = nullptr;
            m_size = 0;
        }
    }

    xcb_connection_t* m_connection = nullptr;
    xcb_shm_seg_t m_seg = 0;
    void* m_address = nullptr;
    std::size_t m_size = 0;
    bool m_checked = false;
    bool m_refused = false;
};

std::size_t screenBytes(const xcb_screen_t& screen) {
    return static_cast<std::size_t>(screen.width_in_pixels) * screen.height_in_pixels * 4;
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
    Segment segment;
    QImage spare[2];
};

std::unique_ptr<X11ShmCapture> X11ShmCapture::open() {
    xcb_connection_t* c = x11::connection();
    if (c == nullptr) {
        return nullptr;
    }
    const xcb_screen_t* screen = defaultScreen(c);
    if (screen == nullptr || !rootIsRgb32(c, *screen)) {
        return nullptr;
    }
    auto state = std::make_unique<State>();
    state->connection = c;
    if (!state->segment.prepare(c, screenBytes(*screen))) {
        return nullptr;
    }
    return std::unique_ptr<X11ShmCapture>(new X11ShmCapture(std::move(state)));
}

X11ShmCapture::X11ShmCapture(std::unique_ptr<State> state) : m_state(std::move(state)) {}

X11ShmCapture::~X11ShmCapture() = default;

QString X11ShmCapture::name() const {
    return QStringLiteral("x11-shm-id");
}

CaptureResult X11ShmCapture::grabPrimary(IEventPump&) {
    return grabRoot(primaryScreenDevicePixels());
}

CaptureResult X11ShmCapture::grabRoot(const QRect& source) {
    xcb_connection_t* c = m_state->connection;
    const xcb_screen_t* screen = defaultScreen(c);
    if (screen == nullptr) {
        return CaptureResult::failed(QStringLiteral("The X server has no screen."));
    }
    const QRect area =
        source.intersected(QRect(0, 0, screen->width_in_pixels, screen->height_in_pixels));
    if (area.isEmpty()) {
        return CaptureResult::failed(
            QStringLiteral("The primary screen lies outside the X screen."));
    }
    const auto rowBytes = static_cast<std::size_t>(area.width()) * 4;
    Segment& segment = m_state->segment;
    // Sized to the whole screen at once, so that a later, larger grab on the
    // same screen does not need a new segment.
    if (!segment.prepare(c, std::max(screenBytes(*screen), rowBytes * area.height()))) {
        return CaptureResult::failed(
            QStringLiteral("The X server no longer shares memory with this program."));
    }
    // Written in place (the only holder), handed out shared once full.
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
            static_cast<std::uint16_t>(rows), ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP, segment.seg(),
            static_cast<std::uint32_t>(rowBytes * static_cast<std::size_t>(y))));
    }
    xcb_flush(c);

    const std::uint8_t* src = segment.data();
    for (std::size_t band = 0; band < cookies.size(); ++band) {
        const int y0 = static_cast<int>(band) * bandRows;
        const int rows = std::min(bandRows, area.height() - y0);
        xcb_generic_error_t* error = nullptr;
        xcb_shm_get_image_reply_t* reply = xcb_shm_get_image_reply(c, cookies[band], &error);
        const bool ok = reply != nullptr && error == nullptr &&
                        reply->size >= rowBytes * static_cast<std::size_t>(rows);
        const int code = error != nullptr ? error->error_code : 0;
        std::free(reply);
        std::free(error);
        if (!ok) {
            for (std::size_t rest = band + 1; rest < cookies.size(); ++rest) {
                xcb_discard_reply(c, cookies[rest].sequence);
            }
            return CaptureResult::failed(
                QStringLiteral("The X server refused the screen copy (error %1).").arg(code));
        }
        for (int y = y0; y < y0 + rows; ++y) {
            copyOpaque(reinterpret_cast<std::uint32_t*>(dest.scanLine(y)),
                       reinterpret_cast<const std::uint32_t*>(src + rowBytes * y), area.width());
        }
    }
    return CaptureResult::copied(dest);
}

} // namespace zs
