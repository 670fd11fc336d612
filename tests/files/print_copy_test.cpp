#include "tests/support/window_fixture.h"

namespace zs::test {
namespace {

using PrintCopyTest = WindowTest;

TEST_F(PrintCopyTest, EachPressIsOneJobOfTheBoxsImageAtTheScreensResolution) {
    showAndCrop(surface, QRect(20, 30, 64, 48));
    stroke({{0, 0}, {40, 40}}, kRightButton);
    f.Command12.click();
    f.Command12.click();
    f.Command13.click();
    ASSERT_EQ(fake.printer.jobs.size(), 3u);
    EXPECT_EQ(fake.printer.jobs[0].first, surface.copy(20, 30, 64, 48));
    EXPECT_EQ(fake.printer.jobs[1].first, fake.printer.jobs[0].first);
    EXPECT_EQ(fake.printer.jobs[2].first, f.Picture6.image());
    EXPECT_NE(fake.printer.jobs[2].first, fake.printer.jobs[0].first);
    for (const auto& job : fake.printer.jobs) {
        EXPECT_EQ(job.second, QPointF(96.0, 96.0));
    }
}

TEST_F(PrintCopyTest, EachAxisPrintsAtItsOwnScreenFactor) {
    const struct {
        float tppX, tppY;
        QPointF dpi;
    } cases[] = {
        {12, 12, {120, 120}}, {15, 12, {96, 120}}, {12, 15, {120, 96}}, {7.5F, 10, {192, 144}}};
    for (const auto& c : cases) {
        fake.screen.tppX = c.tppX;
        fake.screen.tppY = c.tppY;
        f.Command12.click();
        EXPECT_EQ(fake.printer.jobs.back().second, c.dpi) << c.tppX << " " << c.tppY;
    }
}

TEST_F(PrintCopyTest, APrinterFailureIsShownAndTheProgramGoesOn) {
    fake.printer.fail = true;
    f.Command12.click(); // before any crop: the empty holder
    f.Command13.click();
    ASSERT_EQ(fake.messages.errors.size(), 2u);
    EXPECT_TRUE(fake.messages.errors[0].contains("No default printer"));
    EXPECT_FALSE(fake.application.quit);
}

TEST_F(PrintCopyTest, CopyReplacesTheClipboardWithTheEditedCanvas) {
    showAndCrop(surface, QRect(0, 0, 100, 80));
    stroke({{20, 20}, {60, 20}});
    fake.log.clear();
    f.Command15.click();
    EXPECT_EQ(fake.log, (std::vector<std::string>{"clipboard clear", "clipboard set"}));
    EXPECT_EQ(fake.clipboard.image, f.Picture6.image());
    EXPECT_NE(fake.clipboard.image, f.Picture2.image());
    // What another program pastes is the drawn-on canvas, in both formats.
    ASSERT_NE(fake.clipboard.payload, nullptr);
    for (const QString& format : ClipboardPayload::formats()) {
        EXPECT_EQ(QImage::fromData(fake.clipboard.payload->data(format))
                      .convertToFormat(QImage::Format_RGB32),
                  f.Picture6.image().convertToFormat(QImage::Format_RGB32))
            << format.toStdString();
    }
    f.Label4.setCaption("100"); // reference size, as opening the editor records it
    f.Label6.setCaption("80");
    type(0, "50");
    f.Command15.click();
    EXPECT_EQ(fake.clipboard.image.size(), QSize(50, 40));
}

} // namespace
} // namespace zs::test
