#include "tests/support/window_fixture.h"

#include <cmath>

// Under a scale factor (a Qt factor, a scaled Wayland output) the interface
// counts logical pixels and the pictures device pixels: the copy, the crop,
// the read-out, the clipboard, the editor and the printout all count the
// screen's own pixels.
namespace zs::test {
namespace {

struct Scale {
    const char* name;
    double ratio;   // device pixels to a logical pixel
    float tpp;      // twips per logical pixel
    QSize logical;  // the screen as Qt gives its size
    QSize device{}; // the screen's device pixels, where not logical x ratio
};

const Scale kScales[] = {
    {"no scaling", 1, 15, {1920, 1080}},
    {"QT_SCALE_FACTOR=2 on 3840x2160", 2, 15, {1920, 1080}},
    {"factor 2 at 120 dpi", 2, 12, {1280, 720}},
    {"factor 1.25 on 1920x1080", 1.25, 15, {1536, 864}},
    // A compositor whose logical sizes are device pixels: Qt's screen is
    // twice the size of the output at ratio 2.
    {"ratio 2, screen size in device pixels", 2, 15, {3840, 2160}, {3840, 2160}},
};

class DevicePixels : public StartedWindowTest, public ::testing::WithParamInterface<Scale> {
protected:
    // The screen is set up before the window is built, as at start-up.
    DevicePixels()
        : StartedWindowTest([](fakes::FakeServices& services) {
              const Scale& s = GetParam();
              services.screen.ratio = s.ratio;
              services.screen.tppX = services.screen.tppY = s.tpp;
              services.screen.size = s.logical;
              if (!s.device.isEmpty()) {
                  services.capture.content = fakes::patternImage(s.device);
              }
          }) {}
    // A device pixel's position in twips, as the mouse reports it: Qt gives
    // the logical position in fractions of a pixel.
    static float twips(int devicePx) {
        return static_cast<float>(devicePx / GetParam().ratio) * GetParam().tpp;
    }
    static QSize device() {
        const Scale& s = GetParam();
        if (!s.device.isEmpty()) {
            return s.device;
        }
        return {static_cast<int>(std::lround(s.logical.width() * s.ratio)),
                static_cast<int>(std::lround(s.logical.height() * s.ratio))};
    }
};

TEST_P(DevicePixels, ADragOverScreenPixelsCropsExactlyThosePixels) {
    captureScreen();
    // The surface holds the screen's device pixels, every one of them.
    ASSERT_EQ(f.FormScreenCapture.imageSizePx(), device());
    EXPECT_EQ(f.FormScreenCapture.picture(), fake.capture.content);

    // 400 x 300 screen pixels from screen pixel 100,60.
    press(twips(100), twips(60));
    move(twips(500), twips(360));
    EXPECT_EQ(f.Label2.caption(), QStringLiteral("400X300"));
    release(twips(500), twips(360));

    const QImage want = fake.capture.content.copy(100, 60, 400, 300);
    EXPECT_EQ(f.Picture2.image(), want);
    EXPECT_EQ(f.Picture6.image(), want);
    EXPECT_EQ(fake.clipboard.image, want);

    // The editor's reference size and its resize count the same pixels.
    f.Command5.click();
    EXPECT_EQ(f.Label4.caption(), QStringLiteral("400"));
    EXPECT_EQ(f.Label6.caption(), QStringLiteral("300"));
    type(0, QStringLiteral("200"));
    EXPECT_EQ(f.Picture6.imageSizePx(), QSize(200, 150));

    // Printed as large as it shows: device pixels to the inch.
    f.Command12.click(); // "Print" on the tool bar: the crop
    ASSERT_FALSE(fake.printer.jobs.empty());
    EXPECT_EQ(fake.printer.jobs.back().first.size(), QSize(400, 300));
    EXPECT_DOUBLE_EQ(fake.printer.jobs.back().second.x(),
                     1440.0 / GetParam().tpp * GetParam().ratio);
    EXPECT_DOUBLE_EQ(fake.printer.jobs.back().second.y(),
                     1440.0 / GetParam().tpp * GetParam().ratio);
}

TEST_P(DevicePixels, APenLooksAsWideAtAnyScale) {
    captureScreen();
    press(twips(0), twips(0));
    release(twips(200), twips(200));
    f.Command4.click(); // the whole screen, so the canvas is large
    f.Command5.click(); // the editor, pen width 3
    f.Picture6.line(twips(40), twips(100), twips(160), twips(100), 0x000000FF);
    const QImage canvas = f.Picture6.image();
    int covered = 0;
    for (int y = 80; y < 120; ++y) {
        covered += canvas.pixel(100, y) == qRgb(255, 0, 0) ? 1 : 0;
    }
    EXPECT_EQ(covered, static_cast<int>(std::lround(3 * GetParam().ratio)));
}

INSTANTIATE_TEST_SUITE_P(Scales, DevicePixels, ::testing::ValuesIn(kScales), [](const auto& info) {
    std::string name = info.param.name;
    for (char& ch : name) {
        ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
    }
    return name;
});

} // namespace
} // namespace zs::test
