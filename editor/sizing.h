#pragma once

#include <QSize>
#include <QString>

#include <cstdint>

// The arithmetic of the editor's size boxes.
namespace zs::editor {

// The largest canvas: 16384 pixels a side and 256 MiB of 32-bit pixels
// (67,108,864 pixels, e.g. 8192 x 8192). A larger size counts as refused by
// the canvas, like a negative one.
inline constexpr int kMaxCanvasSide = 16384;
inline constexpr std::int64_t kMaxCanvasBytes = std::int64_t{256} << 20;

bool canvasSizeAllowed(QSize px);

// The aspect link: the other box's number for `typed` in this box, keeping
// the reference ratio, (typed × refOther) ÷ refThis. The readings are 32-bit,
// the product is a checked 32-bit multiplication, the quotient is in double
// precision and rounded to a 32-bit integer with ties to even. Throws
// zs::Error (TypeMismatch, Overflow, DivisionByZero) when any part fails.
std::int32_t linkedSize(const QString& typed, const QString& refThis, const QString& refOther);

} // namespace zs::editor
