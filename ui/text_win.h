#pragma once
#include <windows.h>

#include <string_view>

#include "ui/primitives.h"

namespace vaq {

// Draws text with DrawTextW into the integer rectangle, laid out against the whole rectangle
// even where it leaves the surface. False only when the scratch surface cannot be made.
bool DrawTextAlpha(Surface& surface, std::u16string_view text, HFONT font, int left, int top, int right, int bottom,
                   Colour colour, UINT format, uint32_t alpha);

}  // namespace vaq
