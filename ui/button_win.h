#pragma once
#include <windows.h>

#include <string_view>

#include "ui/surface.h"

namespace vaq {

// Draws one button filling the whole surface.
void RenderButton(Surface& surface, HFONT font, int dpi, std::u16string_view caption, bool primary, bool pressed,
                  bool hot, bool focused, bool enabled);
// Renders one owner-drawn button of the setup window into target at rectangle.
void PaintButton(HWND control, HDC target, const RECT& rectangle, UINT itemState);
// The answer to WM_DRAWITEM for a button: draws it and returns TRUE.
BOOL DrawButtonItem(const DRAWITEMSTRUCT& item);

}  // namespace vaq
