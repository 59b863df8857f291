#pragma once
// The look of the owner-drawn buttons: two styles and their variants, drawn without caption.
#include <cstdint>

#include "ui/primitives.h"

namespace vaq {

struct ButtonLook {
  bool primary;
  bool pressed;
  bool hot;
  bool focused;
  bool enabled;
};

struct ButtonColours {
  Colour border;
  Colour fill;
  Colour ring;
  Colour caption;
};

ButtonColours ButtonColoursOf(const ButtonLook& look);
// Clears the surface to opaque white and draws border, fill and focus ring over all of it.
void RenderButtonShape(Surface& surface, int32_t dpi, const ButtonLook& look);
// Left and right inset of the caption, in pixels at dpi.
int32_t ButtonCaptionInset(int32_t dpi);

}  // namespace vaq
