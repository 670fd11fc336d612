#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

// The pixel layouts an X server may use for its root window, and their
// conversion to opaque 0xAARRGGBB words (QImage::Format_RGB32). Free of any
// connection, so that every layout can be checked on its own.
namespace zs::x11 {

enum class RootPixels {
    Rgb888x32, // depth 24 (or 32) in 32-bit words: 0x??RRGGBB
    Rgb565x16, // depth 16 in 16-bit words: RRRRRGGG GGGBBBBB
};

// What the server reports about the root window's pixels.
struct PixelFormat {
    int depth = 0;
    int bitsPerPixel = 0;
    int scanlinePad = 0; // bits
    bool lsbFirst = true;
    bool trueColor = true;
    std::uint32_t redMask = 0, greenMask = 0, blueMask = 0;
};

// The layout for `format`, or nothing when this program does not read it
// (the copy then goes through Qt).
std::optional<RootPixels> rootPixels(const PixelFormat& format);

// Bytes of one row of `width` pixels as the server writes it (rows are padded
// to the scan-line pad).
std::size_t rowBytes(const PixelFormat& format, int width);

// Converts `count` pixels of one row from the server's layout.
void convertRow(RootPixels layout, const std::uint8_t* from, std::uint32_t* to, int count);

} // namespace zs::x11
