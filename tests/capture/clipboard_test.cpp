#include "tests/capture/capture_fixture.h"

#include <QImage>

#include <memory>

// The crop as other programs paste it: the formats the clipboard offers and
// the files behind them, through the fake clipboard, which offers the
// payload exactly as the Qt clipboard does.
namespace zs::capture::test {
namespace {

using CropOnClipboard = CaptureTest;

QImage pasted(ClipboardPayload& payload, const char* format) {
    return QImage::fromData(payload.data(QString::fromLatin1(format)))
        .convertToFormat(QImage::Format_RGB32);
}

TEST_F(CropOnClipboard, PastesAsPngAndBmpPixelForPixelEncodingEachOnce) {
    struct Case {
        const char* what;
        QRect twips;
    };
    const Case cases[] = {
        {"inside", {1500, 750, 3000, 2250}},
        {"past the bottom-right corner", {28500, 15900, 900, 900}},
        {"one pixel", {1500, 1500, 15, 15}},
    };
    captureScreen();
    for (const auto& c : cases) {
        f().Shape1.move(static_cast<float>(c.twips.x()), static_cast<float>(c.twips.y()),
                        static_cast<float>(c.twips.width()), static_cast<float>(c.twips.height()));
        f().Command1_Click(app::command1::kSaveCrop);
        ASSERT_NE(fake.clipboard.payload, nullptr) << c.what;
        ClipboardPayload& payload = *fake.clipboard.payload;
        EXPECT_EQ(payload.formats(),
                  (QStringList{QStringLiteral("image/png"), QStringLiteral("image/bmp")}));
        const QImage crop = f().Picture2.image().convertToFormat(QImage::Format_RGB32);
        for (const char* format : {"image/png", "image/bmp"}) {
            EXPECT_EQ(pasted(payload, format), crop) << c.what << " " << format;
            EXPECT_EQ(pasted(payload, format), crop) << c.what << " " << format << " again";
            EXPECT_EQ(payload.encodings(QString::fromLatin1(format)), 1) << c.what << format;
        }
    }
}

// Each crop replaces the payload, encodings and all; the one replaced is
// freed with its pixels and files.
TEST_F(CropOnClipboard, NextCropReplacesTheEncodedFiles) {
    captureScreen();
    select(1500, 1500, 3000, 2400);
    std::weak_ptr<ClipboardPayload> first = fake.clipboard.payload;
    const QByteArray firstPng = fake.clipboard.payload->data(QStringLiteral("image/png"));

    select(3000, 3000, 6000, 3900);
    EXPECT_TRUE(first.expired());
    ASSERT_NE(fake.clipboard.payload, nullptr);
    const QByteArray secondPng = fake.clipboard.payload->data(QStringLiteral("image/png"));
    EXPECT_NE(secondPng, firstPng);
    EXPECT_EQ(QImage::fromData(secondPng).size(), QSize(200, 60));
}

} // namespace
} // namespace zs::capture::test
