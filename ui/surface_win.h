#pragma once
// What only the Windows backing of Surface can do: hand its pixels to GDI targets.
#include <windows.h>

#include "ui/surface.h"

namespace vaq {

inline HDC SurfaceDc(const Surface& surface) { return static_cast<HDC>(surface.DeviceContext()); }
// SRCCOPY of the whole surface: all four bytes, nothing blended.
void BlitTo(const Surface& surface, HDC target, int x, int y);
// Shows the surface as the layered window's picture at the window's current position.
bool PresentLayered(const Surface& surface, HWND window, BYTE constantAlpha);

}  // namespace vaq
