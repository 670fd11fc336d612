#pragma once

#include <cstdint>

#include <QString>

// Number and text helpers shared by every handler. Conversions to integers
// round to the nearest integer with ties to the even one and throw
// zs::Error(Overflow) when the result does not fit.
namespace zs {

std::int16_t roundToInt16(double value);
std::int32_t roundToInt32(double value);

// Checked 16-bit value (for scroll bar properties and 16-bit variables).
std::int16_t toInt16(std::int64_t value);

// Checked signed 32-bit multiplication.
std::int32_t mulInt32(std::int32_t a, std::int32_t b);

// The "0" format pattern: rounded to a whole number with halves away from
// zero, no decimals, no grouping, a leading minus for negative results.
// A value that rounds to zero gives "0", never "-0".
QString formatWhole(double value);

// Reads a whole number from text: blanks around it are ignored, an optional
// sign, decimal digits and an optional fractional part with '.'; a fraction is
// rounded ties-to-even. Empty text or anything else throws TypeMismatch, a
// value outside the range throws Overflow.
std::int16_t readInt16(const QString& text);
std::int32_t readInt32(const QString& text);

} // namespace zs
