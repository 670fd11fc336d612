#pragma once

#include <QImage>

#include <atomic>
#include <cstdint>

// What the PNG and the BMP writer share: header fields stored a byte at a
// time, the cancel flag, and the pixels as they read them.
namespace zs::formats {

inline void putLittleEndian16(char* at, std::uint16_t v) {
    at[0] = static_cast<char>(v);
    at[1] = static_cast<char>(v >> 8);
}

inline void putLittleEndian32(char* at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        at[i] = static_cast<char>(v >> (8 * i));
    }
}

inline void putBigEndian32(char* at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        at[i] = static_cast<char>(v >> (8 * (3 - i)));
    }
}

// True once `cancel`, when there is one, has been set.
inline bool cancelled(const std::atomic<bool>* cancel) {
    return cancel != nullptr && cancel->load(std::memory_order_relaxed);
}

// The picture's pixels as 0xAARRGGBB words. With `keepAlpha`, a picture
// with an alpha channel comes as straight (not premultiplied) ARGB32;
// otherwise as RGB32, except that an ARGB32 picture is taken as it is and
// its alpha bytes are left unread. RGB32 and ARGB32 pictures are shared, not
// copied; every other format is converted.
QImage argbPixels(const QImage& source, bool keepAlpha);

} // namespace zs::formats
