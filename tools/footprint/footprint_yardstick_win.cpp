// The yardstick for the installer's footprint under Wine: what any program has to do to show the
// installer's code page. It has the installer's load-time imports, makes the same fonts, lays out
// the one control the page shows (the cancel button) and composes the same page with the
// installer's own layout and frame code, into the same two layers (the cached page and the
// frame), on a layered window of the installer's size; what the installer takes beyond it is its
// own start-up work. With --every-40ms it then presents a freshly written frame of the given
// size on every tick of a 40 ms timer.
//   footprint_yardstick WIDTH HEIGHT [--every-40ms]
#include <windows.h>
#include <shlobj.h>

#include <cstdint>
#include <cwchar>

#include "app/setup_main_win.h"
#include "base/setup_context.h"
#include "base/startup_steps_win.h"
#include "ui/frame_win.h"
#include "ui/layout_win.h"
#include "ui/surface_win.h"

namespace {

constexpr wchar_t kClassName[] = L"VaqFootprintYardstick";
constexpr UINT_PTR kTickTimer = 1;
constexpr UINT kTickMs = 40;

// A function of the one DLL the installer imports at load time beyond those any window program
// imports, so that the loader maps the same DLLs (scripts/footprint.sh compares the lists).
const void* const volatile kLoadTimeImports[] = {reinterpret_cast<const void*>(&IsUserAnAdmin)};

vaq::Surface g_freshFrame;
uint32_t g_shade = 0;

// A full frame written every time, as a renderer that draws over a cached page would.
void PresentFreshFrame(HWND window) {
  const uint32_t colour = 0xFF000000u | (g_shade++ & 0xFFu) * 0x010101u;
  const size_t count = size_t(g_freshFrame.Width()) * size_t(g_freshFrame.Height());
  for (size_t i = 0; i < count; ++i) g_freshFrame.Pixels()[i] = colour;
  vaq::PresentLayered(g_freshFrame, window, 255);
}

LRESULT CALLBACK YardstickProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_TIMER:
      PresentFreshFrame(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
  if (__argc < 3) return 2;
  const int width = _wtoi(__wargv[1]);
  const int height = _wtoi(__wargv[2]);
  const bool ticking = __argc > 3 && std::wcscmp(__wargv[3], L"--every-40ms") == 0;
  if (width <= 0 || height <= 0 || kLoadTimeImports[0] == nullptr) return 2;

  VAQ_STARTUP_STEP("entry");
  // The installer's DPI, fonts and code page.
  SetProcessDPIAware();
  VAQ_STARTUP_STEP("DPI awareness");
  const int dpi = vaq::GetMonitorDpi(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY));
  VAQ_STARTUP_STEP("monitor DPI");
  const RECT corner{0, 0, 1, 1};
  if (!vaq::ApplyDpiLayout(dpi, nullptr, &corner)) return 1;
  VAQ_STARTUP_STEP("fonts");
  vaq::g_setup.state = vaq::SetupState::EnterCode;

  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = YardstickProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = kClassName;
  RegisterClassW(&windowClass);
  VAQ_STARTUP_STEP("window class");
  const HWND window = CreateWindowExW(WS_EX_LAYERED | WS_EX_APPWINDOW, kClassName, L"VAQ footprint yardstick",
                                      WS_POPUP, 100, 100, width, height, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return 1;
  VAQ_STARTUP_STEP("window");
  vaq::g_setup.cancelButton = vaq::CreateControl(window, instance, vaq::kCancelButton);
  if (vaq::g_setup.cancelButton == nullptr) return 1;
  VAQ_STARTUP_STEP("child controls");
  if (!vaq::ApplyDpiLayout(dpi, window, nullptr)) return 1;
  VAQ_STARTUP_STEP("first layout");
  vaq::ComposeFrame(window, nullptr);
  VAQ_STARTUP_STEP("first UpdateLayeredWindow");
  ShowWindow(window, SW_SHOW);
  VAQ_STARTUP_STEP("shown");
  VAQ_STARTUP_STEPS_WRITE();
  if (ticking) {
    if (!g_freshFrame.Create(width, height)) return 1;
    SetTimer(window, kTickTimer, kTickMs, nullptr);
  }
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  g_freshFrame.Release();
  vaq::ReleaseFrameLayers();
  vaq::ReleaseFonts();
  return 0;
}
