#include "ui/button.h"

#include <algorithm>

#include "ui/layout.h"

namespace vaq {
namespace {

constexpr int32_t kRadius = 10;
constexpr int32_t kRingInset = 4;
constexpr int32_t kCaptionInset = 8;
constexpr Colour kDisabledFill = Rgb(0xE9EFEA);
constexpr Colour kDisabledCaption = Rgb(0x7E9186);
constexpr Colour kSecondaryBorder = Rgb(0xD8E5DC);

}  // namespace

ButtonColours ButtonColoursOf(const ButtonLook& look) {
  if (look.primary) {
    const Colour ring = Rgb(0xACD8BC);
    if (!look.enabled) return {kDisabledFill, kDisabledFill, ring, kDisabledCaption};
    const Colour fill = look.pressed ? Rgb(0x104F39) : look.hot ? Rgb(0x1B7C59) : Rgb(0x176E50);
    return {fill, fill, ring, Rgb(0xFFFFFF)};
  }
  const Colour ring = Rgb(0x7CAA8F);
  if (!look.enabled) return {kSecondaryBorder, kDisabledFill, ring, kDisabledCaption};
  const Colour fill = look.pressed ? Rgb(0xE7F1EA) : look.hot ? Rgb(0xF3F8F4) : Rgb(0xFFFFFF);
  return {kSecondaryBorder, fill, ring, Rgb(0x1E3B2F)};
}

int32_t ButtonCaptionInset(int32_t dpi) { return ScaleDpi(kCaptionInset, dpi); }

void RenderButtonShape(Surface& surface, int32_t dpi, const ButtonLook& look) {
  surface.Clear();
  const float w = float(surface.Width());
  const float h = float(surface.Height());
  FillRoundRect(surface, 0.0f, 0.0f, w, h, 0.0f, Rgb(0xFFFFFF), 255);
  const ButtonColours colours = ButtonColoursOf(look);
  const int32_t radius = ScaleDpi(kRadius, dpi);
  FillRoundRect(surface, 0.5f, 0.5f, w - 0.5f, h - 0.5f, float(radius), colours.border, 255);
  FillRoundRect(surface, 1.5f, 1.5f, w - 1.5f, h - 1.5f, float(std::max(radius - 1, 0)), colours.fill, 255);
  if (!look.focused) return;
  const float i = float(ScaleDpi(kRingInset, dpi));
  const float r = float(radius) - i;
  FillRoundRect(surface, i, i, w - i, h - i, std::max(r, 1.0f), colours.ring, 255);
  FillRoundRect(surface, i + 1.5f, i + 1.5f, w - i - 1.5f, h - i - 1.5f, std::max(r - 1.5f, 1.0f), colours.fill, 255);
}

}  // namespace vaq
