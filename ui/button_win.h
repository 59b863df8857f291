#pragma once
#include <windows.h>

namespace vaq {

// Renders one owner-drawn button of the setup window into target at rectangle.
void PaintButton(HWND control, HDC target, const RECT& rectangle, UINT itemState);
// The answer to WM_DRAWITEM for a button: draws it and returns TRUE.
BOOL DrawButtonItem(const DRAWITEMSTRUCT& item);

}  // namespace vaq
