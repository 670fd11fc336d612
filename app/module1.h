#pragma once

#include "form/form.h"

#include <cstdint>

namespace zs::app::Module1 {

// Puts the window into (OnTop) or out of the topmost layer, at its own
// rectangle rounded to whole pixels, and activates it.
void StayFront(Form& Frm, const bool& OnTop);

// A window length in twips as whole pixels: rounded ties-to-even and, where
// it would not fit 16 bits (a window far off the screen), clamped instead of
// failing.
std::int16_t pixelsClamped16(float twips, float twipsPerPixel);

} // namespace zs::app::Module1
