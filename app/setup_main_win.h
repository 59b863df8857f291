#pragma once
#include <windows.h>

#include "base/setup_context.h"

namespace vaq {

// A child control of the setup window as start-up makes it, 1 x 1 until laid out.
struct ControlSpec {
  const wchar_t* className;
  const wchar_t* text;
  int id;
  DWORD style;
};
// The one control the code page shows (the footprint yardstick makes it too).
constexpr ControlSpec kCancelButton{L"BUTTON", L"取消", IDC_CANCEL, 0x5001000B};

inline HWND CreateControl(HWND window, HINSTANCE instance, const ControlSpec& control) {
  return CreateWindowExW(0, control.className, control.text, control.style, 0, 0, 1, 1, window,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(control.id)), instance, nullptr);
}

// The program: start-up, elevation, the setup window and its message loop. Returns the exit code.
int SetupMain(HINSTANCE instance);
// Releases the layers, the fonts and the edit brush at the end of the run.
void ReleaseUiResources();

}  // namespace vaq
