#include "ui/text_win.h"

#include <algorithm>

#include "base/wide_win.h"
#include "ui/surface_win.h"

namespace vaq {

bool DrawTextAlpha(Surface& surface, std::u16string_view text, HFONT font, int left, int top, int right, int bottom,
                   Colour colour, UINT format, uint32_t alpha) {
  if (text.empty() || surface.Pixels() == nullptr) return true;
  const int vl = std::max(left, 0);
  const int vt = std::max(top, 0);
  const int vr = std::min(right, surface.Width());
  const int vb = std::min(bottom, surface.Height());
  if (vr - vl <= 0 || vb - vt <= 0) return true;
  Surface scratch;
  if (!scratch.Create(vr - vl, vb - vt)) return false;
  // White on black: GDI's glyph coverage becomes a grey mask.
  const HDC dc = SurfaceDc(scratch);
  const HGDIOBJ previousFont = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(255, 255, 255));
  RECT layout = {left, top, right, bottom};
  OffsetRect(&layout, -vl, -vt);
  DrawTextW(dc, AsWide(text.data()), int(text.size()), &layout, format);
  SelectObject(dc, previousFont);
  scratch.Flush();
  const uint32_t a0 = std::min<uint32_t>(alpha, 255);
  for (int sy = 0; sy < scratch.Height(); ++sy) {
    const uint32_t* row = scratch.Pixels() + size_t(sy) * size_t(scratch.Width());
    for (int sx = 0; sx < scratch.Width(); ++sx) {
      const uint32_t p = row[sx];
      // The largest channel also covers fonts drawn with sub-pixel colour fringes.
      const uint32_t m = std::max({p & 0xFF, (p >> 8) & 0xFF, (p >> 16) & 0xFF});
      if (m != 0) BlendPixel(surface, uint32_t(vl + sx), uint32_t(vt + sy), colour, (m * a0 + 127) / 255);
    }
  }
  return true;
}

}  // namespace vaq
