// The yardstick for the installer's footprint under Wine: the least a program can do to show a
// layered window of a given size. It presents one frame before showing the window, and with
// --every-40ms presents a freshly written frame on every tick of a 40 ms timer.
//   footprint_baseline WIDTH HEIGHT [--every-40ms]
#include <windows.h>

#include <cstdint>
#include <cwchar>

#include "app/handles_win.h"

namespace {

constexpr wchar_t kClassName[] = L"VaqFootprintBaseline";
constexpr UINT_PTR kTickTimer = 1;
constexpr UINT kTickMs = 40;

struct Frame {
  HDC dc = nullptr;
  uint32_t* pixels = nullptr;
  int width = 0;
  int height = 0;
  uint32_t shade = 0;
};
Frame g_frame;

void Present(HWND window) {
  // A full frame written every time, as a renderer that draws over a cached page would.
  const uint32_t colour = 0xFF000000u | (g_frame.shade++ & 0xFFu) * 0x010101u;
  const size_t count = size_t(g_frame.width) * size_t(g_frame.height);
  for (size_t i = 0; i < count; ++i) g_frame.pixels[i] = colour;
  RECT rect;
  GetWindowRect(window, &rect);
  POINT destination = {rect.left, rect.top};
  SIZE size = {g_frame.width, g_frame.height};
  POINT source = {0, 0};
  BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  UpdateLayeredWindow(window, nullptr, &destination, &size, g_frame.dc, &source, 0, &blend, ULW_ALPHA);
}

LRESULT CALLBACK BaselineProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_TIMER:
      Present(window);
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
  g_frame.width = _wtoi(__wargv[1]);
  g_frame.height = _wtoi(__wargv[2]);
  const bool ticking = __argc > 3 && std::wcscmp(__wargv[3], L"--every-40ms") == 0;
  if (g_frame.width <= 0 || g_frame.height <= 0) return 2;

  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = BaselineProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = kClassName;
  RegisterClassW(&windowClass);
  const HWND window = CreateWindowExW(WS_EX_LAYERED | WS_EX_APPWINDOW, kClassName, L"VAQ footprint baseline", WS_POPUP,
                                      100, 100, g_frame.width, g_frame.height, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return 1;

  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = g_frame.width;
  info.bmiHeader.biHeight = -g_frame.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  const vaq::UniqueGdiObject bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  // Declared after the bitmap so that it goes first and lets the bitmap go.
  const vaq::UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
  if (!dc || !bitmap || bits == nullptr) return 1;
  SelectObject(dc.Get(), bitmap.Get());
  g_frame.dc = dc.Get();
  g_frame.pixels = static_cast<uint32_t*>(bits);

  Present(window);
  ShowWindow(window, SW_SHOW);
  if (ticking) SetTimer(window, kTickTimer, kTickMs, nullptr);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}
