#include "screen/x11_pixels.h"

#include <cstddef>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zs::x11 {

std::optional<RootPixels> rootPixels(const PixelFormat& f) {
    if (!f.lsbFirst || !f.trueColor) {
        return std::nullopt;
    }
    if ((f.depth == 24 || f.depth == 32) && f.bitsPerPixel == 32 && f.redMask == 0xFF0000 &&
        f.greenMask == 0xFF00 && f.blueMask == 0xFF) {
        return RootPixels::Rgb888x32;
    }
    if (f.depth == 16 && f.bitsPerPixel == 16 && f.redMask == 0xF800 && f.greenMask == 0x07E0 &&
        f.blueMask == 0x001F) {
        return RootPixels::Rgb565x16;
    }
    return std::nullopt;
}

std::size_t rowBytes(const PixelFormat& f, int width) {
    const std::size_t pad = f.scanlinePad > 0 ? static_cast<std::size_t>(f.scanlinePad) : 8;
    const std::size_t bits =
        static_cast<std::size_t>(width) * static_cast<std::size_t>(f.bitsPerPixel);
    return (bits + pad - 1) / pad * pad / 8;
}

namespace {

// The server leaves the top byte as it is (usually 0); Format_RGB32 wants
// 0xFF there.
void opaque32(const std::uint8_t* from, std::uint32_t* to, int count) {
    std::ptrdiff_t i = 0;
#if defined(__SSE2__)
    const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    for (; i + 8 <= count; i += 8) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 4 * i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 4 * i + 16));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i), _mm_or_si128(a, alpha));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i + 4), _mm_or_si128(b, alpha));
    }
#endif
    for (; i < count; ++i) {
        std::uint32_t word = 0;
        std::memcpy(&word, from + 4 * i, 4);
        to[i] = word | 0xFF000000u;
    }
}

// Each channel widened to 8 bits by repeating its top bits below it, so that
// full intensity stays full (0x1F -> 0xFF) and black stays black.
void widen565(const std::uint8_t* from, std::uint32_t* to, int count) {
    for (std::ptrdiff_t i = 0; i < count; ++i) {
        const std::uint32_t p = static_cast<std::uint32_t>(from[2 * i]) |
                                static_cast<std::uint32_t>(from[2 * i + 1]) << 8;
        const std::uint32_t r = (p >> 11) & 0x1F;
        const std::uint32_t g = (p >> 5) & 0x3F;
        const std::uint32_t b = p & 0x1F;
        to[i] =
            0xFF000000u | ((r << 3 | r >> 2) << 16) | ((g << 2 | g >> 4) << 8) | (b << 3 | b >> 2);
    }
}

} // namespace

void convertRow(RootPixels layout, const std::uint8_t* from, std::uint32_t* to, int count) {
    switch (layout) {
    case RootPixels::Rgb888x32:
        opaque32(from, to, count);
        break;
    case RootPixels::Rgb565x16:
        widen565(from, to, count);
        break;
    }
}

} // namespace zs::x11
