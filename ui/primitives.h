#pragma once
// Anti-aliased shapes rasterised from a signed distance at pixel centres, in single precision
// so that every build lands on the same pixels. Colours are 0x00BBGGRR (a COLORREF); alpha
// arguments above 255 act as 255.
#include <cstdint>

#include "ui/surface.h"

namespace vaq {

using Colour = uint32_t;

// Turns the #RRGGBB spelling used by the palette into 0x00BBGGRR.
constexpr Colour Rgb(uint32_t rrggbb) {
  return ((rrggbb >> 16) & 0xFF) | (rrggbb & 0xFF00) | ((rrggbb & 0xFF) << 16);
}

// Premultiplied source-over of one pixel; coordinates outside the surface are ignored.
void BlendPixel(Surface& surface, uint32_t x, uint32_t y, Colour colour, uint32_t coverage);
void FillRoundRect(Surface& surface, float left, float top, float right, float bottom, float radius,
                   Colour colour, uint32_t alpha);
// The shadow of the rounded rectangle moved down by offsetY, fading out over blur pixels. The
// rows under the shape's straight part are left out, so the shape must be painted over it.
void DrawShadow(Surface& surface, float left, float top, float right, float bottom, float radius, float blur,
                float offsetY, Colour colour, uint32_t alpha);

}  // namespace vaq
