#include "form/form.h"
#include "services/errors.h"
#include "services/fakes/fakes.h"

#include <gtest/gtest.h>

namespace zs {
namespace {

class FormTest : public ::testing::Test {
protected:
    void SetUp() override {
        form.setClientSize(15555, 11550);
        form.Resize = [this] { sizes.emplace_back(form.scaleWidth(), form.scaleHeight()); };
    }
    fakes::FakeServices fake;
    Form form{fake.services, QStringLiteral("Form1")};
    std::vector<std::pair<float, float>> sizes;
};

TEST_F(FormTest, OuterSizeIncludesTheFrame) {
    EXPECT_EQ(form.width(), 15675);
    EXPECT_EQ(form.height(), 12015);
    EXPECT_EQ(form.scaleWidth(), 15555);
}

TEST_F(FormTest, SizeSettersRaiseResizeBeforeReturningOncePerChange) {
    form.setWidth(1815);
    EXPECT_EQ(sizes.size(), 1U);
    EXPECT_EQ(sizes.back().first, (121 - 8) * 15);
    form.setWidth(1815);
    EXPECT_EQ(sizes.size(), 1U);
    form.setHeight(1165); // 77.7 pixels: the window takes whole pixels
    ASSERT_EQ(sizes.size(), 2U);
    EXPECT_EQ(sizes.back().second, (78 - 31) * 15);
    EXPECT_EQ(form.height(), 78 * 15);
}

TEST_F(FormTest, MinimisedIsZeroByZeroMaximisedIsTheAvailableAreaLessTheFrame) {
    fake.screen.available = QRect(0, 0, 1920, 1050);
    form.setWindowState(WindowState::Minimized);
    ASSERT_EQ(sizes.size(), 1U);
    EXPECT_EQ(sizes.back(), std::make_pair(0.0F, 0.0F));
    EXPECT_THROW(form.setWidth(3000), Error);
    form.setWindowState(WindowState::Maximized);
    ASSERT_EQ(sizes.size(), 2U);
    EXPECT_EQ(sizes.back(), std::make_pair(1912.0F * 15, 1019.0F * 15));
    form.setWindowState(WindowState::Normal);
    EXPECT_EQ(sizes.back(), std::make_pair(15555.0F, 11550.0F));
}

TEST_F(FormTest, WithoutAWindowManagerTheStateIsTheProgramsAlone) {
    const struct {
        bool windowManager;
        WindowState reported; // the state after Qt reports "minimised"
        float maximisedWidth; // client width, maximised, in twips
    } cases[] = {
        {true, WindowState::Minimized, 1912.0F * 15}, // 4 + 4 pixels of frame
        {false, WindowState::Maximized, 1920.0F * 15},
    };
    for (const auto& c : cases) {
        fake.windowOrder.windowManager = c.windowManager;
        fake.screen.available = QRect(0, 0, 1920, 1050);
        form.setWindowState(WindowState::Maximized);
        EXPECT_EQ(form.scaleWidth(), c.maximisedWidth) << c.windowManager;
        sizes.clear();
        form.windowSystemStateChanged(Qt::WindowMinimized);
        EXPECT_EQ(form.windowState(), c.reported) << c.windowManager;
        EXPECT_EQ(sizes.size(), c.windowManager ? 1U : 0U) << c.windowManager;
        form.setWindowState(WindowState::Normal);
    }
}

// A capture on Wayland minimises the maximised window, takes it off the
// screen, and asks for "maximised" again; meanwhile the compositor may
// report the unmapped window maximised (GNOME does), so the request changes
// no state, and must still bring the window back.
TEST_F(FormTest, AWindowTakenOffTheScreenComesBackAtTheNextStateRequest) {
    fake.screen.available = QRect(0, 0, 1920, 1050);
    form.setWindowState(WindowState::Maximized);
    ASSERT_TRUE(form.widget()->isVisible());
    form.setWindowState(WindowState::Minimized);
    form.takeOffScreen();
    form.windowSystemStateChanged(Qt::WindowMaximized);
    ASSERT_EQ(form.windowState(), WindowState::Maximized);
    ASSERT_FALSE(form.widget()->isVisible());
    form.setWindowState(WindowState::Maximized);
    EXPECT_TRUE(form.widget()->isVisible());
    EXPECT_EQ(form.scaleWidth(), 1912.0F * 15);
}

// Captures in a row from the maximised window: it comes back at the size the
// compositor gave it, which Qt does not report again, whatever the available
// area and the frame (unknown off the screen) would suggest.
TEST_F(FormTest, AMaximisedWindowTakenOffTheScreenComesBackAtItsOwnSize) {
    fake.screen.available = QRect(0, 0, 1920, 1080);
    form.widget()->show();
    form.setWindowState(WindowState::Maximized);
    form.widget()->resize(1914, 1015); // the compositor's size, a top bar less
    ASSERT_EQ(form.scaleHeight(), 1015.0F * 15);
    for (int capture = 0; capture < 2; ++capture) {
        form.setWindowState(WindowState::Minimized);
        form.takeOffScreen();
        fake.windowOrder.frame = QMargins();
        form.setWindowState(WindowState::Maximized);
        EXPECT_EQ(form.scaleWidth(), 1914.0F * 15) << capture;
        EXPECT_EQ(form.scaleHeight(), 1015.0F * 15) << capture;
    }
    form.widget()->hide();
}

TEST_F(FormTest, LateConfirmationsOfEarlierSizesAreNotResizes) {
    form.widget()->show();
    sizes.clear();
    form.setWidth(1815);
    form.setHeight(1165);
    ASSERT_EQ(sizes.size(), 2U);
    // The window manager confirms both requests after the handler went on.
    form.windowSystemResized(QSize(113, 770));
    form.windowSystemResized(QSize(113, 47));
    EXPECT_EQ(sizes.size(), 2U);
    EXPECT_EQ(form.scaleHeight(), 47 * 15);
    // A size nobody asked for is the user's: the layout runs.
    form.windowSystemResized(QSize(300, 200));
    ASSERT_EQ(sizes.size(), 3U);
    EXPECT_EQ(sizes.back(), std::make_pair(4500.0F, 3000.0F));
    form.widget()->hide();
}

TEST_F(FormTest, ARestoreFromMaximisedIsASizeAskedForAndTakesTheNormalFrame) {
    // The window manager takes the side borders off a maximised window and
    // reports the normal frame again only some time after a restore.
    const QMargins normal{1, 20, 1, 5};
    const QMargins maximised{0, 19, 0, 0};
    fake.windowOrder.frame = normal;
    form.widget()->show();
    form.setWindowState(WindowState::Maximized);
    fake.windowOrder.frame = maximised;
    form.windowSystemResized(QSize(1920, 1061));
    sizes.clear();

    // As "shrink" does: restore, then ask for a small outer size.
    form.setWindowState(WindowState::Normal);
    form.setWidth(1815);  // 121 pixels
    form.setHeight(1165); // 78 pixels
    ASSERT_FALSE(sizes.empty());
    EXPECT_EQ(sizes.back(), std::make_pair((121.0F - 2) * 15, (78.0F - 25) * 15));
    const std::size_t layouts = sizes.size();

    // The confirmations come late: first the restore to the normal size,
    // then the small size; neither is the user's.
    form.windowSystemResized(QSize(1037, 770));
    fake.windowOrder.frame = normal;
    form.windowSystemResized(QSize(119, 53));
    EXPECT_EQ(sizes.size(), layouts);
    EXPECT_EQ(form.width(), 121 * 15);
    EXPECT_EQ(form.height(), 78 * 15);
    form.widget()->hide();
}

TEST_F(FormTest, RunReportsAFailureAndEndsTheProgram) {
    int later = 0;
    form.run("Click", [] { throw Error(Error::Code::Overflow, "Overflow: 40000"); });
    form.run("Click", [&] { ++later; });
    ASSERT_EQ(fake.messages.errors.size(), 1U);
    EXPECT_TRUE(fake.messages.errors[0].contains(QStringLiteral("Overflow")));
    EXPECT_TRUE(fake.application.quit);
    EXPECT_EQ(fake.application.code, 1);
    EXPECT_EQ(later, 0); // nothing runs once the program is ending
}

} // namespace
} // namespace zs
