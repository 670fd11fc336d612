#include "screen/backend_choice.h"
#include "services/fakes/fakes.h"
#include "services/screen_capture.h"

#include <gtest/gtest.h>

namespace zs {
namespace {

TEST(CaptureSession, WantsThePortalOnWaylandAndUnderXWaylandInAWaylandSession) {
    const struct {
        const char* platform;
        const char* sessionType;
        bool portal;
    } cases[] = {
        {"wayland-egl", "", true},
        {"xcb", "wayland", true}, // XWayland: an X grab sees only X windows
        {"xcb", "x11", false},
        {"offscreen", "wayland", false},
    };
    for (const auto& c : cases) {
        CaptureSession session;
        session.qtPlatform = QString::fromLatin1(c.platform);
        session.sessionType = QString::fromLatin1(c.sessionType);
        EXPECT_EQ(session.wantsPortal(), c.portal) << c.platform << " / " << c.sessionType;
    }
}

TEST(ChooseScreenCapture, FallsBackToQtsGrabWithoutAnXServer) {
    // The tests run on Qt's offscreen platform: no X connection to share
    // memory with, whatever the variables say.
    for (const bool sharedMemoryOff : {false, true}) {
        CaptureSession session = CaptureSession::current();
        session.sharedMemoryOff = sharedMemoryOff;
        const auto capture = chooseScreenCapture(session);
        ASSERT_NE(capture, nullptr);
        EXPECT_EQ(capture->name(), QStringLiteral("qt"));
    }
}

TEST(ChooseScreenCapture, TheVariableForcesABackendThatCanWorkHere) {
    // Offscreen: no X server and no compositor, so only the portal and Qt's
    // grab can be had; a name that cannot work, or no name at all, leaves
    // the usual choice.
    const struct {
        const char* forced;
        const char* chosen;
    } cases[] = {
        {"portal", "portal"},      {"qt", "qt"}, {"x11-shm", "qt"}, {"wlr-screencopy", "qt"},
        {"no-such-backend", "qt"},
    };
    for (const auto& c : cases) {
        CaptureSession session = CaptureSession::current();
        session.forcedBackend = QString::fromLatin1(c.forced);
        const auto capture = chooseScreenCapture(session);
        ASSERT_NE(capture, nullptr) << c.forced;
        EXPECT_EQ(capture->name(), QLatin1String(c.chosen)) << c.forced;
    }
    for (const QString& name : forcibleCaptureBackends()) {
        CaptureSession session = CaptureSession::current();
        session.forcedBackend = name;
        EXPECT_NE(chooseScreenCapture(session), nullptr) << name.toStdString();
    }
}

TEST(CaptureResult, HoldsAnOpaquePictureOrAReasonNeverABlank) {
    QImage argb(4, 3, QImage::Format_ARGB32);
    argb.fill(qRgba(10, 20, 30, 255));
    const CaptureResult copied = CaptureResult::copied(argb);
    ASSERT_TRUE(copied.ok());
    EXPECT_EQ(copied.image().format(), QImage::Format_RGB32);
    EXPECT_EQ(copied.image().pixel(3, 2), qRgb(10, 20, 30));
    EXPECT_TRUE(copied.failure().isEmpty());

    const CaptureResult empty = CaptureResult::copied(QImage());
    EXPECT_FALSE(empty.ok());
    EXPECT_FALSE(empty.failure().isEmpty());

    const CaptureResult failed = CaptureResult::failed(QStringLiteral("No portal."));
    EXPECT_FALSE(failed.ok());
    EXPECT_TRUE(failed.image().isNull());
    EXPECT_EQ(failed.failure(), QStringLiteral("No portal."));
}

TEST(WaitUntil, EndsWhenDoneOrWhenTheTimeIsUp) {
    const struct {
        const char* name;
        int doneAfterPasses; // -1: never
        double timeout;
        bool result;
        int maxPasses;
    } cases[] = {
        {"already done", 0, 1.0, true, 0},
        {"done after three passes", 3, 1.0, true, 3},
        {"never done", -1, 0.5, false, 51},
        {"no time at all", -1, 0.0, false, 0},
    };
    for (const auto& c : cases) {
        fakes::Log log;
        fakes::FakeEventPump pump(log);
        pump.step = 0.01;
        const double start = pump.clock;
        const bool done = waitUntil(pump, c.timeout, [&] {
            return c.doneAfterPasses >= 0 && pump.passes >= c.doneAfterPasses;
        });
        EXPECT_EQ(done, c.result) << c.name;
        EXPECT_LE(pump.passes, c.maxPasses) << c.name;
        EXPECT_LE(pump.clock - start, c.timeout + pump.step + 1e-9) << c.name;
        if (!c.result) {
            EXPECT_GE(pump.clock - start, c.timeout - 1e-9) << c.name << ": gave up early";
        }
    }
}

} // namespace
} // namespace zs
