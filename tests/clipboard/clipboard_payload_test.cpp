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
