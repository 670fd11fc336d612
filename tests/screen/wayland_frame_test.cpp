#include "screen/wayland_frame.h"
#include "screen/wayland_outputs.h"

#include <gtest/gtest.h>

#include <wayland-client-protocol.h>

#include <vector>

namespace zs {
namespace {

using Bytes = std::vector<uchar>;

// Three pixels, red, green and blue, as a format lays each out in memory.
struct Layout {
    const char* name;
    std::uint32_t format;
    Bytes red, green, blue;
};

const Layout kLayouts[] = {
    {"XRGB8888", WL_SHM_FORMAT_XRGB8888, {0, 0, 0xff, 0}, {0, 0xff, 0, 0}, {0xff, 0, 0, 0}},
    {"ARGB8888, transparent",
     WL_SHM_FORMAT_ARGB8888,
     {0, 0, 0xff, 0},
     {0, 0xff, 0, 0},
     {0xff, 0, 0, 0}},
    {"XBGR8888", WL_SHM_FORMAT_XBGR8888, {0xff, 0, 0, 0}, {0, 0xff, 0, 0}, {0, 0, 0xff, 0}},
    {"ABGR8888",
     WL_SHM_FORMAT_ABGR8888,
     {0xff, 0, 0, 0x7f},
     {0, 0xff, 0, 0x7f},
     {0, 0, 0xff, 0x7f}},
    {"XRGB2101010",
     WL_SHM_FORMAT_XRGB2101010,
     {0, 0, 0xf0, 0x3f},
     {0, 0xfc, 0x0f, 0},
     {0xff, 0x03, 0, 0}},
    {"XBGR2101010",
     WL_SHM_FORMAT_XBGR2101010,
     {0xff, 0x03, 0, 0},
     {0, 0xfc, 0x0f, 0},
     {0, 0, 0xf0, 0x3f}},
    {"RGB565", WL_SHM_FORMAT_RGB565, {0, 0xf8}, {0xe0, 0x07}, {0x1f, 0}},
    {"BGR888", WL_SHM_FORMAT_BGR888, {0xff, 0, 0}, {0, 0xff, 0}, {0, 0, 0xff}},
    {"RGB888", WL_SHM_FORMAT_RGB888, {0, 0, 0xff}, {0, 0xff, 0}, {0xff, 0, 0}},
};

// One row red, green, blue and one row blue, green, red, each padded to
// `stride` bytes with 0xee.
Bytes twoRows(const Layout& l, int stride) {
    Bytes data;
    for (const auto& row : {std::vector<Bytes>{l.red, l.green, l.blue}, {l.blue, l.green, l.red}}) {
        const std::size_t start = data.size();
        for (const Bytes& px : row) {
            data.insert(data.end(), px.begin(), px.end());
        }
        data.resize(start + std::size_t(stride), 0xee);
    }
    return data;
}

TEST(WaylandFrame, ReadsEachPixelFormatAsOpaqueRgb) {
    for (const Layout& l : kLayouts) {
        // Rows padded past their pixels, to a multiple of 4.
        const int stride = (int(l.red.size()) * 3 + 3) / 4 * 4 + 4;
        const Bytes data = twoRows(l, stride);
        const ShmFrame frame{l.format, 3, 2, stride, data.data()};
        const QImage image = frameImage(frame, false, WL_OUTPUT_TRANSFORM_NORMAL);
        ASSERT_EQ(image.size(), QSize(3, 2)) << l.name;
        EXPECT_EQ(image.format(), QImage::Format_RGB32) << l.name;
        const QRgb want[2][3] = {{qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)},
                                 {qRgb(0, 0, 255), qRgb(0, 255, 0), qRgb(255, 0, 0)}};
        for (int y = 0; y < 2; ++y) {
            for (int x = 0; x < 3; ++x) {
                EXPECT_EQ(image.pixel(x, y), want[y][x]) << l.name << " at " << x << "," << y;
            }
        }
    }
}

TEST(WaylandFrame, RefusesWhatItCannotRead) {
    const Bytes data(64, 0);
    const struct {
        const char* what;
        ShmFrame frame;
    } cases[] = {
        {"a YUV format", {WL_SHM_FORMAT_YUYV, 2, 2, 16, data.data()}},
        {"a stride shorter than a row", {WL_SHM_FORMAT_XRGB8888, 4, 2, 12, data.data()}},
        {"rows off 32-bit boundaries", {WL_SHM_FORMAT_BGR888, 2, 2, 7, data.data()}},
        {"no pixels", {WL_SHM_FORMAT_XRGB8888, 0, 2, 16, data.data()}},
        {"no memory", {WL_SHM_FORMAT_XRGB8888, 2, 2, 8, nullptr}},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(frameImage(c.frame, false, 0).isNull()) << c.what;
    }
}

// The buffer
//   a b c
//   d e f
// as the output shows it, for each transform the compositor drew it with
// (wl_output.transform: turned counter-clockwise, after a flip about the
// vertical axis for the flipped ones), and the same stored bottom-up.
TEST(WaylandFrame, UndoesTheOutputTransformAndTheYInversion) {
    const struct {
        int transform;
        std::vector<const char*> shown;
    } cases[] = {
        {WL_OUTPUT_TRANSFORM_NORMAL, {"abc", "def"}},
        {WL_OUTPUT_TRANSFORM_90, {"da", "eb", "fc"}},
        {WL_OUTPUT_TRANSFORM_180, {"fed", "cba"}},
        {WL_OUTPUT_TRANSFORM_270, {"cf", "be", "ad"}},
        {WL_OUTPUT_TRANSFORM_FLIPPED, {"cba", "fed"}},
        {WL_OUTPUT_TRANSFORM_FLIPPED_90, {"ad", "be", "cf"}},
        {WL_OUTPUT_TRANSFORM_FLIPPED_180, {"def", "abc"}},
        {WL_OUTPUT_TRANSFORM_FLIPPED_270, {"fc", "eb", "da"}},
    };
    // Pixel 'a' + i has blue i + 1 (XRGB8888, little-endian).
    const auto stored = [](const char* rows) {
        Bytes data;
        for (const char* p = rows; *p != 0; ++p) {
            data.insert(data.end(), {uchar(*p - 'a' + 1), 0, 0, 0});
        }
        return data;
    };
    const Bytes topDown = stored("abcdef");
    const Bytes bottomUp = stored("defabc");
    for (const auto& c : cases) {
        for (const bool inverted : {false, true}) {
            const ShmFrame frame{WL_SHM_FORMAT_XRGB8888, 3, 2, 12,
                                 (inverted ? bottomUp : topDown).data()};
            const QImage image = frameImage(frame, inverted, c.transform);
            ASSERT_EQ(image.height(), int(c.shown.size())) << c.transform;
            for (int y = 0; y < image.height(); ++y) {
                std::string row;
                for (int x = 0; x < image.width(); ++x) {
                    row += char('a' + qBlue(image.pixel(x, y)) - 1);
                }
                EXPECT_EQ(row, c.shown[std::size_t(y)])
                    << "transform " << c.transform << (inverted ? ", y-inverted" : "");
            }
        }
    }
}

TEST(WaylandOutputs, OutputDeviceSizeFollowsTheTransform) {
    struct Case {
        int transform;
        QSize expected;
    };
    const Case cases[] = {
        {WL_OUTPUT_TRANSFORM_NORMAL, {3840, 2160}},  {WL_OUTPUT_TRANSFORM_90, {2160, 3840}},
        {WL_OUTPUT_TRANSFORM_180, {3840, 2160}},     {WL_OUTPUT_TRANSFORM_270, {2160, 3840}},
        {WL_OUTPUT_TRANSFORM_FLIPPED, {3840, 2160}}, {WL_OUTPUT_TRANSFORM_FLIPPED_90, {2160, 3840}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(outputDeviceSize({3840, 2160}, c.transform), c.expected) << c.transform;
    }
}

} // namespace
} // namespace zs
