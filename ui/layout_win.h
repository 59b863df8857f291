#pragma once
#include <windows.h>

namespace vaq {

// Makes the four fonts for the new layout DPI, sets g_setup.layoutDpi and, with a window, sizes
// and places it and its children for the current state. reference may be null.
bool ApplyDpiLayout(int requestedDpi, HWND window, const RECT* reference);
int GetMonitorDpi(HMONITOR monitor);
int GetWindowDpi(HWND window);
// Deletes the four fonts (end of the run).
void ReleaseFonts();

// The fonts made by the last successful ApplyDpiLayout (null before the first one). They are
// owned here and stay valid until the next ApplyDpiLayout or ReleaseFonts.
struct SetupFonts {
  HFONT title;
  HFONT body;
  HFONT button;
  HFONT brand;
};
SetupFonts CurrentFonts();

}  // namespace vaq
