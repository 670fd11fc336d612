#include "services/session_kind.h"

#include <gtest/gtest.h>

namespace zs {
namespace {

TEST(SessionKind, ComesFromQtsPlatformAndTheSessionType) {
    const struct {
        const char16_t* platform;
        const char16_t* sessionType;
        SessionKind kind;
    } cases[] = {
        {u"wayland", u"wayland", SessionKind::Wayland},
        {u"wayland", u"", SessionKind::Wayland}, // a compositor started by hand sets no type
        {u"wayland-egl", u"wayland", SessionKind::Wayland},
        {u"wayland-egl", u"", SessionKind::Wayland},
        {u"xcb", u"wayland", SessionKind::XWayland},
        {u"xcb", u"x11", SessionKind::X11},
        {u"xcb", u"", SessionKind::X11},
        {u"xcb", u"tty", SessionKind::X11},
        {u"offscreen", u"wayland", SessionKind::Other},
        {u"xwayland", u"wayland", SessionKind::Other}, // not a Qt platform: no prefix matching
    };
    for (const auto& c : cases) {
        EXPECT_EQ(sessionKind(c.platform, c.sessionType), c.kind)
            << QString::fromUtf16(c.platform).toStdString() << " / "
            << QString::fromUtf16(c.sessionType).toStdString();
    }
}

} // namespace
} // namespace zs
