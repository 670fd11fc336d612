#include "tests/capture/capture_fixture.h"

#include <cmath>

// Under a scale factor (a Qt factor, a scaled Wayland output) the interface
// counts logical pixels and the pictures device pixels: the copy, the crop,
// the read-out, the clipboard, the editor and the printout all count the
// screen's own pixels.
namespace zs::capture::test {
namespace {

struct Scale {
    const char* name;
    double ratio;  // device pixels to a logical pixel
    float tpp;     // twips per logical pixel
    QSize logical; // the screen in logical pixels
};

const Scale kScales[] = {
    {"no scaling", 1, 15, {1920, 1080}},
    {"QT_SCALE_FACTOR=2 on 3840x2160", 2, 15, {1920, 1080}},
    {"factor 2 at 120 dpi", 2, 12, {1280, 720}},
    {"factor 1.25 on 1920x1080", 1.25, 15, {1536, 864}},
};

class DevicePixels : public ::testing::TestWithParam<Scale> {
protected:
    void SetUp() override {
        const Scale& s = GetParam();
        fake.screen.ratio = s.ratio;
        fake.screen.tppX = fake.screen.tppY = s.tpp;
        fake.screen.size = s.logical;
        window = std::make_unique<app::Form1>(fake.services);
        window->start();
        QCoreApplication::processEvents();
    }
    // A device pixel's position in twips, as the mouse reports it: Qt gives
    // the logical position in fractions of a pixel.
    static float twips(int devicePx) {
        return static_cast<float>(devicePx / GetParam().ratio) * GetParam().tpp;
    }
    static QSize device() {
        const Scale& s = GetParam();
        return {static_cast<int>(std::lround(s.logical.width() * s.ratio)),
                static_cast<int>(std::lround(s.logical.height() * s.ratio))};
    }

    fakes::FakeServices fake;
    std::unique_ptr<app::Form1> window;
};

TEST_P(DevicePixels, ADragOverScreenPixelsCropsExactlyThosePixels) {
    app::Form1& f = *window;
    f.Command1_Click(app::command1::kToolBarCapture);
    // The surface holds the screen's device pixels, every one of them.
    ASSERT_EQ(f.FormScreenCapture.imageSizePx(), device());
    EXPECT_EQ(f.FormScreenCapture.picture(), fake.capture.content);

    // 400 x 300 screen pixels from screen pixel 100,60.
    f.capture.FormScreenCapture_MouseDown(kLeftButton, 0, twips(100), twips(60));
    f.capture.FormScreenCapture_MouseMove(kLeftButton, 0, twips(500), twips(360));
    EXPECT_EQ(f.Label2.caption(), QStringLiteral("400X300"));
    f.capture.FormScreenCapture_MouseUp(kLeftButton, 0, twips(500), twips(360));

    const QImage want = fake.capture.content.copy(100, 60, 400, 300);
    EXPECT_EQ(f.Picture2.image(), want);
    EXPECT_EQ(f.Picture6.image(), want);
    EXPECT_EQ(fake.clipboard.image, want);

    // The editor's reference size and its resize count the same pixels.
    f.Command5.click();
    EXPECT_EQ(f.Label4.caption(), QStringLiteral("400"));
    EXPECT_EQ(f.Label6.caption(), QStringLiteral("300"));
    f.Text1[0].setText(QStringLiteral("200"));
    f.editor.Text1_KeyUp(0, 0, 0);
    EXPECT_EQ(f.Picture6.imageSizePx(), QSize(200, 150));

    // Printed as large as it shows: device pixels to the inch.
    f.Command12.click(); // "Print" on the tool bar: the crop
    ASSERT_FALSE(fake.printer.jobs.empty());
    EXPECT_EQ(fake.printer.jobs.back().first.size(), QSize(400, 300));
    EXPECT_DOUBLE_EQ(fake.printer.jobs.back().second.x(),
                     1440.0 / GetParam().tpp * GetParam().ratio);
    EXPECT_DOUBLE_EQ(fake.printer.jobs.back().second.y(),
                     1440.0 / GetParam().tpp * GetParam().ratio);
    EXPECT_TRUE(fake.messages.errors.empty());
}

TEST_P(DevicePixels, APenLooksAsWideAtAnyScale) {
    app::Form1& f = *window;
    f.Command1_Click(app::command1::kToolBarCapture);
    f.capture.FormScreenCapture_MouseDown(kLeftButton, 0, twips(0), twips(0));
    f.capture.FormScreenCapture_MouseUp(kLeftButton, 0, twips(200), twips(200));
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
} // namespace zs::capture::test
