#pragma once

#include <cstdint>

#include <QString>

// The arithmetic of the capture and the selection, kept free of controls so
// that every rounding rule can be checked on its own. Conversions round to the
// nearest integer with ties to the even one and throw zs::Error(Overflow)
// when the result does not fit.
namespace zs::capture {

// A signed drag distance in whole twips: the pointer less the anchor, in
// single precision, rounded into 32 bits.
std::int32_t dragDistance(float pointer, float anchor);

// |value|, refused (Overflow) for the one 32-bit value without a positive
// counterpart.
std::int32_t absInt32(std::int32_t value);

// The square lock: both distances become the larger of the two signed values.
void lockSquare(std::int32_t& dx, std::int32_t& dy);

// The size read-out, e.g. "100X60" or "-40X-25": each distance in pixels,
// computed in double precision and written with the "0" pattern.
QString readout(std::int32_t dx, std::int32_t dy, float twipsPerPixelX, float twipsPerPixelY);

// The surface position that shows a scroll value: its negation, taken in
// single precision so that -32768 gives +32768 instead of overflowing.
float surfaceOffset(int scrollValue);

} // namespace zs::capture
