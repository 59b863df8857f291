#include "app/window_presentation_win.h"

#include "base/setup_context.h"
#include "ui/button_win.h"
#include "ui/frame_win.h"
#include "ui/layout_win.h"
#include "ui/page.h"

namespace vaq {
namespace {

LRESULT ErrorEditColours(HDC dc) {
  SetTextColor(dc, palette::kInk);
  SetBkColor(dc, palette::kPanel);
  return reinterpret_cast<LRESULT>(g_setup.editBrush != nullptr ? g_setup.editBrush
                                                                 : GetStockObject(WHITE_BRUSH));
}

}  // namespace

bool HandlePresentationMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  result = 0;
  switch (message) {
    case WM_DESTROY:
      KillTimer(window, TIMER_COUNTDOWN);
      KillTimer(window, TIMER_SPINNER);
      ReleaseFrameLayers();
      PostQuitMessage(0);
      return true;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      BeginPaint(window, &paint);
      ComposeFrame(window, nullptr);
      EndPaint(window, &paint);
      return true;
    }
    case WM_PRINTCLIENT:
      ComposeFrame(window, reinterpret_cast<HDC>(wParam));
      return true;
    case WM_ERASEBKGND:
      result = 1;
      return true;
    case WM_DRAWITEM:
      result = DrawButtonItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return true;
    case WM_NCHITTEST:
      result = HitTest(window, wParam, lParam);
      return true;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
      if (reinterpret_cast<HWND>(lParam) != g_setup.errorEdit) return false;
      result = ErrorEditColours(reinterpret_cast<HDC>(wParam));
      return true;
    case WM_DPICHANGED:
      ApplyDpiLayout(LOWORD(wParam), window, reinterpret_cast<const RECT*>(lParam));
      return true;
    case WM_SETTINGCHANGE:
    case WM_DISPLAYCHANGE: {
      const int dpi = GetWindowDpi(window);
      if (dpi != g_setup.layoutDpi) ApplyDpiLayout(dpi, window, nullptr);
      return true;
    }
    default:
      return false;
  }
}

}  // namespace vaq
