#include "screen/x11_pixels.h"
#include "screen/x11_shm_capture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace zs::x11 {
namespace {

PixelFormat format(int depth, int bpp, std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    PixelFormat f;
    f.depth = depth;
    f.bitsPerPixel = bpp;
    f.scanlinePad = 32;
    f.redMask = r;
    f.greenMask = g;
    f.blueMask = b;
    return f;
}

TEST(RootPixels, ReadsTheUsualDepthsAndLeavesTheRestToQt) {
    const struct {
        const char* name;
        PixelFormat format;
        std::optional<RootPixels> layout;
    } cases[] = {
        {"depth 24", format(24, 32, 0xFF0000, 0xFF00, 0xFF), RootPixels::Rgb888x32},
        {"depth 32", format(32, 32, 0xFF0000, 0xFF00, 0xFF), RootPixels::Rgb888x32},
        {"depth 16", format(16, 16, 0xF800, 0x07E0, 0x001F), RootPixels::Rgb565x16},
        {"BGR order", format(24, 32, 0xFF, 0xFF00, 0xFF0000), std::nullopt},
        {"depth 15", format(15, 16, 0x7C00, 0x03E0, 0x001F), std::nullopt},
        {"packed 24-bit", format(24, 24, 0xFF0000, 0xFF00, 0xFF), std::nullopt},
        {"depth 8", format(8, 8, 0, 0, 0), std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(rootPixels(c.format), c.layout) << c.name;
    }
    PixelFormat bigEndian = format(24, 32, 0xFF0000, 0xFF00, 0xFF);
    bigEndian.lsbFirst = false;
    EXPECT_EQ(rootPixels(bigEndian), std::nullopt);
    PixelFormat pseudo = format(24, 32, 0xFF0000, 0xFF00, 0xFF);
    pseudo.trueColor = false;
    EXPECT_EQ(rootPixels(pseudo), std::nullopt);
}

TEST(RowBytes, PadsEachRowToTheScanLinePad) {
    const struct {
        int bpp, pad, width;
        std::size_t bytes;
    } cases[] = {
        {32, 32, 1920, 7680}, {16, 32, 1920, 3840}, {16, 32, 3, 8},
        {16, 16, 3, 6},       {32, 32, 1, 4},       {16, 32, 0, 0},
    };
    for (const auto& c : cases) {
        PixelFormat f = format(c.bpp == 32 ? 24 : 16, c.bpp, 0, 0, 0);
        f.scanlinePad = c.pad;
        EXPECT_EQ(rowBytes(f, c.width), c.bytes)
            << c.bpp << " bpp, pad " << c.pad << ", " << c.width << " pixels";
    }
}

TEST(ConvertRow, MakesEveryPixelOpaqueWithItsColourKept) {
    // More pixels than one vector step, and an odd tail.
    std::vector<std::uint32_t> words;
    for (std::uint32_t i = 0; i < 19; ++i) {
        words.push_back((i * 0x0A0B0C) & 0xFFFFFF);
    }
    words[3] |= 0x7F000000; // whatever the server leaves in the top byte
    std::vector<std::uint32_t> out(words.size());
    convertRow(RootPixels::Rgb888x32, reinterpret_cast<const std::uint8_t*>(words.data()),
               out.data(), static_cast<int>(words.size()));
    for (std::size_t i = 0; i < words.size(); ++i) {
        EXPECT_EQ(out[i], (words[i] & 0xFFFFFF) | 0xFF000000u) << i;
    }
}

TEST(ConvertRow, WidensSixteenBitPixelsSoThatFullStaysFull) {
    const struct {
        std::uint16_t pixel;
        std::uint32_t rgb32;
    } cases[] = {
        {0x0000, 0xFF000000}, // black
        {0xFFFF, 0xFFFFFFFF}, // white
        {0xF800, 0xFFFF0000}, // full red
        {0x07E0, 0xFF00FF00}, // full green
        {0x001F, 0xFF0000FF}, // full blue
        {0x8410, 0xFF848284}, // middle grey: 10000 100000 10000
        {0x0821, 0xFF080408}, // the lowest step of each channel
    };
    std::vector<std::uint8_t> bytes;
    for (const auto& c : cases) {
        bytes.push_back(static_cast<std::uint8_t>(c.pixel & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(c.pixel >> 8));
    }
    std::vector<std::uint32_t> out(std::size(cases));
    convertRow(RootPixels::Rgb565x16, bytes.data(), out.data(), static_cast<int>(out.size()));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(out[i], cases[i].rgb32) << std::hex << cases[i].pixel;
    }
}

} // namespace
} // namespace zs::x11

namespace zs {
namespace {

TEST(ShmAttachOrder, PrefersTheDescriptorAndNeverSharesOverTheNetwork) {
    using V = std::vector<ShmAttach>;
    const struct {
        const char* name;
        ShmOffer offer;
        std::optional<ShmAttach> only;
        V order;
    } cases[] = {
        {"local, 1.2", {true, 1, 2, true}, std::nullopt, V{ShmAttach::Fd, ShmAttach::Id}},
        {"local, 1.1: no descriptors", {true, 1, 1, true}, std::nullopt, V{ShmAttach::Id}},
        {"local, 2.0", {true, 2, 0, true}, std::nullopt, V{ShmAttach::Fd, ShmAttach::Id}},
        {"over TCP (ssh -X)", {true, 1, 2, false}, std::nullopt, V{}},
        {"no extension", {false, 0, 0, true}, std::nullopt, V{}},
        {"only the id", {true, 1, 2, true}, ShmAttach::Id, V{ShmAttach::Id}},
        {"only the descriptor", {true, 1, 2, true}, ShmAttach::Fd, V{ShmAttach::Fd}},
        {"only the descriptor, 1.1", {true, 1, 1, true}, ShmAttach::Fd, V{}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(shmAttachOrder(c.offer, c.only), c.order) << c.name;
    }
}

} // namespace
} // namespace zs
