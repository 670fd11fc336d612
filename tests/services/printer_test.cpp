#include "services/qt/qt_services.h"

#include <gtest/gtest.h>

namespace zs {
namespace {

TEST(PrintedRect, EachAxisScalesByItsOwnResolution) {
    const struct {
        QSize image;
        int printerDpi;
        QPointF screenDpi;
        QRectF expected;
    } cases[] = {
        {{96, 96}, 600, {96, 96}, {0, 0, 600, 600}},      // one inch square
        {{96, 120}, 600, {96, 120}, {0, 0, 600, 600}},    // taller pixels, still one inch
        {{120, 96}, 1200, {120, 96}, {0, 0, 1200, 1200}}, // wider pixels
        {{200, 100}, 300, {192, 144}, {0, 0, 312.5, 208.333333}},
        {{50, 40}, 600, {0, -1}, {0, 0, 312.5, 250}}, // no resolution: 96
        {{0, 0}, 600, {96, 96}, {0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        const QRectF r = printedRect(c.image, c.printerDpi, c.screenDpi);
        EXPECT_DOUBLE_EQ(r.x(), 0);
        EXPECT_DOUBLE_EQ(r.y(), 0);
        EXPECT_NEAR(r.width(), c.expected.width(), 1e-4)
            << c.image.width() << "x" << c.image.height();
        EXPECT_NEAR(r.height(), c.expected.height(), 1e-4)
            << c.image.width() << "x" << c.image.height();
    }
}

} // namespace
} // namespace zs
