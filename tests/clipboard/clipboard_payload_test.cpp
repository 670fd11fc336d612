#include "clipboard/clipboard_payload.h"
#include "services/fakes/fakes.h"

#include <gtest/gtest.h>

#include <QImage>

#include <thread>
#include <vector>

namespace zs {
namespace {

TEST(ClipboardPayload, OffersPngThenBmpAndNothingElse) {
    EXPECT_EQ(ClipboardPayload::formats(),
              (QStringList{QStringLiteral("image/png"), QStringLiteral("image/bmp")}));
    ClipboardPayload payload(fakes::patternImage(QSize(40, 30)));
    for (const char* other : {"image/jpeg", "image/x-xbitmap", "application/x-qt-image", ""}) {
        EXPECT_TRUE(payload.data(QString::fromLatin1(other)).isEmpty()) << other;
        EXPECT_EQ(payload.encodings(QString::fromLatin1(other)), 0) << other;
    }
}

// Every paste after the first gets the same bytes without encoding again,
// whichever format comes first, and they decode to the picture.
TEST(ClipboardPayload, EncodesEachFormatOnce) {
    const QImage picture = fakes::patternImage(QSize(321, 123));
    ClipboardPayload payload(picture);
    for (const QString& format : {QStringLiteral("image/bmp"), QStringLiteral("image/png")}) {
        const QByteArray first = payload.data(format);
        const QByteArray second = payload.data(format);
        ASSERT_FALSE(first.isEmpty()) << format.toStdString();
        EXPECT_EQ(first, second);
        EXPECT_EQ(payload.encodings(format), 1) << format.toStdString();
        const QImage decoded = QImage::fromData(first);
        EXPECT_EQ(decoded.convertToFormat(QImage::Format_RGB32), picture) << format.toStdString();
    }
}

// The BMP keeps alpha, as a 32-bit file that reads back with it, and says
// 72 dpi (2835 pixels per metre); a null picture gives no file at all.
TEST(ClipboardPayload, BmpKeepsAlphaAndANullPictureGivesNoFile) {
    QImage picture(7, 5, QImage::Format_ARGB32);
    picture.fill(qRgba(10, 20, 30, 40));
    picture.setPixel(3, 2, qRgba(200, 100, 50, 0));
    ClipboardPayload payload(picture);
    const QByteArray bmp = payload.data(QStringLiteral("image/bmp"));
    ASSERT_EQ(bmp.size(), 122 + 7 * 5 * 4);
    EXPECT_EQ(static_cast<quint8>(bmp[28]), 32); // bits a pixel
    EXPECT_EQ(bmp.mid(38, 8), QByteArray("\x13\x0B\0\0\x13\x0B\0\0", 8));
    EXPECT_EQ(QImage::fromData(bmp, "BMP").convertToFormat(QImage::Format_ARGB32), picture);

    ClipboardPayload none{QImage()};
    for (const QString& format : ClipboardPayload::formats()) {
        EXPECT_TRUE(none.data(format).isEmpty()) << format.toStdString();
    }
}

// A clipboard manager and a pasting program asking at once, from threads
// of their own, still cause one encoding a format.
TEST(ClipboardPayload, ConcurrentRequestsShareOneEncoding) {
    ClipboardPayload payload(fakes::patternImage(QSize(800, 600)));
    std::vector<QByteArray> got(8);
    std::vector<std::thread> askers;
    for (std::size_t i = 0; i < got.size(); ++i) {
        askers.emplace_back([&, i] {
            got[i] = payload.data(ClipboardPayload::formats()[static_cast<int>(i % 2)]);
        });
    }
    for (std::thread& t : askers) {
        t.join();
    }
    for (std::size_t i = 2; i < got.size(); ++i) {
        EXPECT_EQ(got[i], got[i % 2]) << i;
    }
    EXPECT_NE(got[0], got[1]);
    for (const QString& format : ClipboardPayload::formats()) {
        EXPECT_EQ(payload.encodings(format), 1) << format.toStdString();
    }
}

} // namespace
} // namespace zs
