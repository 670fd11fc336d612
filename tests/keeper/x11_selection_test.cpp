#include "keeper/shared/x11_selection.h"

#include <gtest/gtest.h>

namespace zs::x11 {
namespace {

// Server times wrap every 49.7 days: a request made just after the wrap is
// later than an ownership taken just before it.
TEST(X11Selection, ComparesServerTimesAcrossTheWrap) {
    struct Case {
        xcb_timestamp_t time;
        xcb_timestamp_t since;
        bool atOrAfter;
    };
    const Case cases[] = {
        {1000, 1000, true},
        {1001, 1000, true},
        {999, 1000, false},
        {5, 0xFFFFFFF0u, true},           // after the wrap
        {0, 0xFFFFFFFFu, true},           // the first millisecond after it
        {0xFFFFFFF0u, 5, false},          // before the wrap, owned after it
        {0x7FFFFFFFu, 0, true},           // just under half the range ahead
        {0x80000000u, 0, false},          // half the range ahead counts as before
        {0xFFFFFFFFu, 0xFFFFFFFEu, true}, // at the top, no wrap involved
    };
    for (const auto& c : cases) {
        EXPECT_EQ(timeAtOrAfter(c.time, c.since), c.atOrAfter) << c.time << " vs " << c.since;
    }
}

// A piece plus its request's header (28 bytes at most) fits the server's
// maximum request length, and never exceeds the cap.
TEST(X11Selection, SizesPiecesFromTheMaximumRequestLength) {
    constexpr std::size_t kCap = std::size_t(1) << 20;
    struct Case {
        std::uint32_t maxRequestWords;
        std::size_t piece;
    };
    const Case cases[] = {
        {65535, 65535 * 4 - 64}, // no BIG-REQUESTS: 256 KiB
        {4194303, kCap},         // BIG-REQUESTS (16 MiB): the cap
        {262144 + 16, kCap},     // a hair over the cap plus header
        {262144, kCap - 64},     // exactly 1 MiB requests
        {4096 / 4, 4096 - 64},   // the smallest a server may have
    };
    for (const auto& c : cases) {
        const std::size_t piece = pieceSize(c.maxRequestWords, kCap);
        EXPECT_EQ(piece, c.piece) << c.maxRequestWords;
        EXPECT_LE(piece + 28, std::size_t(c.maxRequestWords) * 4) << c.maxRequestWords;
    }
}

} // namespace
} // namespace zs::x11
