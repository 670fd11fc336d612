// Checks of the X11 screen copies against a real X server ($DISPLAY). The
// X11 end-to-end scenarios run them on each of their desktops:
//   ZS_EXPECT_PRIMARY=x,y,w,h  where the desktop puts the primary monitor,
//                              in device pixels
//   ZS_EXPECT_SHM=fd,id        the shared-memory ways the server must allow
//                              (empty: none)
// They draw a known picture on the root window and expect every way of
// copying to return exactly the primary monitor's part of it.

#include "screen/backend_choice.h"
#include "screen/primary_screen.h"
#include "screen/qt_grab_capture.h"
#include "screen/x11_shm_capture.h"
#include "services/fakes/fakes.h"
#include "services/qt/x11_connection.h"
#include "services/screen_capture.h"

#include <gtest/gtest.h>

#include <QGuiApplication>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include <xcb/xcb.h>

namespace zs {
namespace {

xcb_screen_t* firstScreen(xcb_connection_t* c) {
    return xcb_setup_roots_iterator(xcb_get_setup(c)).data;
}

// How a 0xRRGGBB colour reads back from a root window of `depth`: at depth
// 16 each channel keeps its top 5 (green 6) bits, widened again by
// repeating them.
QRgb asStored(QRgb rgb, int depth) {
    if (depth != 16) {
        return rgb | 0xFF000000u;
    }
    const auto widen = [](unsigned v, int bits) {
        v >>= 8 - bits;
        return (v << (8 - bits)) | (v >> (2 * bits - 8));
    };
    return qRgb(static_cast<int>(widen(qRed(rgb), 5)), static_cast<int>(widen(qGreen(rgb), 6)),
                static_cast<int>(widen(qBlue(rgb), 5)));
}

// Draws `picture` over the whole root window of `c`'s first screen (depth 24
// or 16) and returns what the server then holds there. The root's own
// background comes back with clear().
class RootPicture {
public:
    RootPicture(xcb_connection_t* c, const QImage& picture) : m_c(c) {
        xcb_screen_t* screen = firstScreen(c);
        m_root = screen->root;
        const int depth = screen->root_depth;
        const xcb_gcontext_t gc = xcb_generate_id(c);
        xcb_create_gc(c, gc, m_root, 0, nullptr);
        const int w = picture.width();
        constexpr int kRows = 16;
        std::vector<std::uint8_t> data;
        for (int y0 = 0; y0 < picture.height(); y0 += kRows) {
            const int rows = std::min(kRows, picture.height() - y0);
            const int bpp = depth == 16 ? 2 : 4;
            const int stride = (w * bpp + 3) / 4 * 4;
            data.assign(static_cast<std::size_t>(stride) * rows, 0);
            for (int y = 0; y < rows; ++y) {
                const auto* line = reinterpret_cast<const QRgb*>(picture.constScanLine(y0 + y));
                for (int x = 0; x < w; ++x) {
                    const QRgb p = line[x];
                    std::uint32_t word = p & 0xFFFFFFu;
                    if (depth == 16) {
                        word = (qRed(p) >> 3) << 11 | (qGreen(p) >> 2) << 5 | qBlue(p) >> 3;
                    }
                    std::memcpy(&data[static_cast<std::size_t>(y) * stride +
                                      static_cast<std::size_t>(x) * bpp],
                                &word, bpp);
                }
            }
            xcb_put_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, m_root, gc, static_cast<std::uint16_t>(w),
                          static_cast<std::uint16_t>(rows), 0, static_cast<std::int16_t>(y0), 0,
                          static_cast<std::uint8_t>(depth), static_cast<std::uint32_t>(data.size()),
                          data.data());
        }
        xcb_free_gc(c, gc);
        std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr)); // a round trip
        stored = picture.convertToFormat(QImage::Format_RGB32);
        for (int y = 0; y < stored.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(stored.scanLine(y));
            for (int x = 0; x < stored.width(); ++x) {
                line[x] = asStored(line[x], depth);
            }
        }
    }
    ~RootPicture() { clear(); }
    void clear() {
        xcb_clear_area(m_c, 1, m_root, 0, 0, 0, 0);
        xcb_flush(m_c);
    }

    QImage stored;

private:
    xcb_connection_t* m_c;
    xcb_window_t m_root = 0;
};

QSize rootSize(xcb_connection_t* c) {
    const xcb_screen_t* s = firstScreen(c);
    return {s->width_in_pixels, s->height_in_pixels};
}

QRect expectedPrimary() {
    const QStringList parts = qEnvironmentVariable("ZS_EXPECT_PRIMARY").split(u',');
    if (parts.size() != 4) {
        return {};
    }
    return {parts[0].toInt(), parts[1].toInt(), parts[2].toInt(), parts[3].toInt()};
}

std::string describe(const QImage& got, const QImage& want) {
    if (got.size() != want.size()) {
        return "size " + std::to_string(got.width()) + "x" + std::to_string(got.height()) +
               " instead of " + std::to_string(want.width()) + "x" + std::to_string(want.height());
    }
    for (int y = 0; y < want.height(); ++y) {
        for (int x = 0; x < want.width(); ++x) {
            if (got.pixel(x, y) != want.pixel(x, y)) {
                return "first difference at " + std::to_string(x) + "," + std::to_string(y);
            }
        }
    }
    return "same";
}

// One way of copying, opened on Qt's connection.
struct Way {
    const char* name;
    std::unique_ptr<IScreenCapture> capture;
};

std::vector<Way> everyWay() {
    std::vector<Way> ways;
    const QString expected = qEnvironmentVariable("ZS_EXPECT_SHM");
    for (const auto& [name, attach] :
         {std::pair{"fd", ShmAttach::Fd}, std::pair{"id", ShmAttach::Id}}) {
        auto shm = X11ShmCapture::open(attach);
        EXPECT_EQ(shm != nullptr, expected.contains(QLatin1String(name)))
            << "the " << name << " way of sharing memory";
        if (shm) {
            ways.push_back({name, std::move(shm)});
        }
    }
    ways.push_back({"qt", std::make_unique<QtGrabCapture>()});
    ways.push_back({"chosen", chooseScreenCapture(CaptureSession::current())});
    return ways;
}

TEST(X11Capture, ThePrimaryScreenLiesWhereTheDesktopPutsIt) {
    const QRect expected = expectedPrimary();
    ASSERT_FALSE(expected.isEmpty()) << "set ZS_EXPECT_PRIMARY=x,y,w,h";
    EXPECT_EQ(primaryScreenDevicePixels(), expected);
}

TEST(X11Capture, EveryWayCopiesThePrimaryScreenPixelForPixel) {
    xcb_connection_t* c = x11::connection();
    ASSERT_NE(c, nullptr);
    const QRect primary = primaryScreenDevicePixels();
    const RootPicture first(c, fakes::patternImage(rootSize(c)));
    const QImage want = first.stored.copy(primary);
    fakes::Log log;
    fakes::FakeEventPump pump(log);
    for (auto& way : everyWay()) {
        const CaptureResult shot = way.capture->grabPrimary(pump);
        ASSERT_TRUE(shot.ok()) << way.name << ": " << shot.failure().toStdString();
        EXPECT_EQ(shot.image().format(), QImage::Format_RGB32) << way.name;
        EXPECT_TRUE(shot.image() == want) << way.name << ": " << describe(shot.image(), want);
    }
}

TEST(X11Capture, AKeptCopyIsNotOverwrittenByTheNextOne) {
    xcb_connection_t* c = x11::connection();
    ASSERT_NE(c, nullptr);
    const QRect primary = primaryScreenDevicePixels();
    fakes::Log log;
    fakes::FakeEventPump pump(log);
    // The shared-memory ways, which write into pictures they keep for the
    // next copy (Qt's grab makes a new one each time).
    std::vector<Way> ways = everyWay();
    std::erase_if(ways, [](const Way& w) { return !w.capture->name().startsWith("x11-shm"); });
    ASSERT_FALSE(ways.empty());
    // Every copy kept, as the surface keeps its picture, over three changing
    // screens: each still shows its own screen at the end.
    struct Kept {
        const char* way;
        QImage copy;
        QImage shows;
    };
    std::vector<Kept> kept;
    for (int round = 0; round < 3; ++round) {
        const QImage picture =
            fakes::patternImage(rootSize(c)).mirrored(round % 2 == 1, round == 2);
        const RootPicture shown(c, picture);
        const QImage want = shown.stored.copy(primary);
        for (auto& way : ways) {
            const CaptureResult shot = way.capture->grabPrimary(pump);
            ASSERT_TRUE(shot.ok()) << way.name << ": " << shot.failure().toStdString();
            kept.push_back({way.name, shot.image(), want});
        }
    }
    for (std::size_t i = 0; i < kept.size(); ++i) {
        EXPECT_TRUE(kept[i].copy == kept[i].shows) << kept[i].way << " copy " << i / ways.size()
                                                   << ": " << describe(kept[i].copy, kept[i].shows);
    }
}

TEST(X11Capture, TheChoiceFollowsTheVariableThatTurnsSharedMemoryOff) {
    CaptureSession session = CaptureSession::current();
    ASSERT_TRUE(session.onX11());
    session.sharedMemoryOff = true;
    EXPECT_EQ(chooseScreenCapture(session)->name(), QStringLiteral("qt"));
    session.sharedMemoryOff = false;
    const bool shm = !qEnvironmentVariable("ZS_EXPECT_SHM").isEmpty();
    EXPECT_EQ(chooseScreenCapture(session)->name(),
              shm ? QStringLiteral("x11-shm-fd") : QStringLiteral("qt"));
}

TEST(X11Capture, ACopyOutsideTheRootWindowFailsWithAReason) {
    auto shm = X11ShmCapture::open();
    ASSERT_NE(shm, nullptr);
    const QSize root = rootSize(x11::connection());
    const CaptureResult shot = shm->grabRoot(QRect(QPoint(root.width(), 0), QSize(100, 100)));
    EXPECT_FALSE(shot.ok());
    EXPECT_TRUE(shot.failure().contains(QLatin1String("outside"))) << shot.failure().toStdString();
}

// Run alone (--gtest_filter) by a scenario that starts this program and its
// X server each in an IPC namespace of its own, the server's holding a
// segment of every id this program will ask it to attach.
TEST(X11CaptureOtherIpcNamespace, OnlyTheDescriptorWayIsTaken) {
    xcb_connection_t* c = x11::connection();
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(X11ShmCapture::open(ShmAttach::Id), nullptr)
        << "the server attached a segment of its own namespace";
    auto fd = X11ShmCapture::open(ShmAttach::Fd);
    ASSERT_NE(fd, nullptr);
    const RootPicture shown(c, fakes::patternImage(rootSize(c)));
    const CaptureResult shot = fd->grabRoot(QRect(QPoint(), rootSize(c)));
    ASSERT_TRUE(shot.ok()) << shot.failure().toStdString();
    EXPECT_TRUE(shot.image() == shown.stored) << describe(shot.image(), shown.stored);
}

} // namespace
} // namespace zs

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (!qEnvironmentVariableIsSet("DISPLAY")) {
        std::fprintf(stderr, "x11_capture_tests needs an X server: set DISPLAY\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    // As the program does (app/main.cpp).
    if (!qEnvironmentVariableIsSet("QT_ENABLE_HIGHDPI_SCALING")) {
        qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    }
    QGuiApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
