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

}  // namespace vaq
