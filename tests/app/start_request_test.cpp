#include "tests/support/window_fixture.h"

#include <functional>
#include <vector>

namespace zs::test {
namespace {

// What a start of the program asks of the window (its own or a later one's):
// the window leaves any panel for the main view, then captures or loads.
class StartRequestTest : public WindowTest {
protected:
    void SetUp() override {
        start();
        surface.save(path("picture.png"));
    }
};

TEST_F(StartRequestTest, CapturesOrLoadsOnTheMainViewFromAnyPanel) {
    struct Case {
        const char* name;
        std::function<void(app::Form1&)> before;
        app::StartRequest request;
        std::function<QImage()> shown; // what the surface must hold
    };
    const auto screen = [this] { return screenContent(); };
    const auto picture = [this] { return surface; };
    const auto nothing = [](app::Form1&) {};
    const auto settings = [](app::Form1& f) { f.Command10.click(); };
    const auto editor = [](app::Form1& f) { f.Command5.click(); };
    const QString file = path("picture.png");
    const std::vector<Case> cases = {
        {"capture", nothing, {app::StartAction::Capture, {}}, screen},
        {"capture from the settings", settings, {app::StartAction::Capture, {}}, screen},
        {"capture from the editor", editor, {app::StartAction::Capture, {}}, screen},
        {"open", nothing, {app::StartAction::Open, file}, picture},
        {"open from the editor", editor, {app::StartAction::Open, file}, picture},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        showAndCrop(surface, QRect(0, 0, 10, 10)); // a crop, so that the editor opens
        f.FormScreenCapture.setPicture(QImage());
        c.before(f);
        f.carryOut(c.request);
        EXPECT_FALSE(f.Frame7.visible());
        EXPECT_FALSE(f.Frame4.visible());
        EXPECT_TRUE(f.FormScreenCapture.visible());
        EXPECT_EQ(f.FormScreenCapture.picture()
                      .convertToFormat(QImage::Format_RGB32)
                      .copy(QRect(QPoint(0, 0), c.shown().size())),
                  c.shown().convertToFormat(QImage::Format_RGB32));
    }
    EXPECT_TRUE(fake.messages.errors.empty());
}

TEST_F(StartRequestTest, AFileThatCannotBeLoadedIsReportedAsLoadReportsIt) {
    const QString missing = path("missing.jpg");
    f.carryOut({app::StartAction::Open, missing});
    ASSERT_EQ(fake.messages.errors.size(), 1u);
    EXPECT_TRUE(fake.messages.errors[0].contains(missing)) << fake.messages.errors[0].toStdString();
    EXPECT_FALSE(fake.application.quit); // the program goes on
    EXPECT_FALSE(f.FormScreenCapture.visible());
}

TEST_F(StartRequestTest, APlainStartRestoresAMinimisedWindow) {
    f.form.setWindowState(WindowState::Minimized);
    f.carryOut({});
    EXPECT_EQ(f.form.windowState(), WindowState::Normal);
    EXPECT_FALSE(f.FormScreenCapture.visible()); // nothing else happens
}

} // namespace
} // namespace zs::test
