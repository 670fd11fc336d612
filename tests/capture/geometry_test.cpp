#include "capture/geometry.h"

#include "services/errors.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

// The drag distances, the square lock and the read-out are checked through
// the handlers (capture_test.cpp); these are the rules only reachable here.
namespace zs::capture {
namespace {

TEST(Readout, UsesEachAxisFactorAndRoundsHalvesAwayFromZero) {
    EXPECT_EQ(readout(1200, 600, 12, 12).toStdString(), "100X50");
    EXPECT_EQ(readout(1500, 600, 15, 12).toStdString(), "100X50");
    EXPECT_EQ(readout(5, -5, 2, 2).toStdString(), "3X-3");  // 2.5 and -2.5
    EXPECT_EQ(readout(-7, 0, 15, 15).toStdString(), "0X0"); // never "-0"
}

TEST(DragArithmetic, RefusesValuesOutside32Bits) {
    EXPECT_EQ(dragDistance(-100.5f, 0), -100);
    EXPECT_THROW(dragDistance(3e9f, 0), Error);
    EXPECT_THROW(absInt32(std::numeric_limits<std::int32_t>::min()), Error);
    EXPECT_EQ(surfaceOffset(-32768), 32768.0f); // no 16-bit overflow
}

} // namespace
} // namespace zs::capture
