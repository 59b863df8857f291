#include "ui/layout_win.h"

#include <utility>

#include "base/handles_win.h"
#include "base/setup_context.h"
#include "base/system_library_win.h"
#include "base/wide_win.h"
#include "ui/layout.h"
#include "ui/page_win.h"

namespace vaq {
namespace {

struct FontSet {
  UniqueFont title;
  UniqueFont body;
  UniqueFont button;
  UniqueFont brand;
};

// Held beside g_setup for the whole run.
FontSet g_fonts;

UniqueFont MakeFont(const FontSpec& font, int dpi) {
  return UniqueFont(CreateFontW(-ScaleDpi(font.size, dpi), 0, 0, 0, font.weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, 0, AsWide(kFontFace)));
}

using GetDpiForMonitorFunction = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
constexpr int kMdtEffectiveDpi = 0;

GetDpiForMonitorFunction LookUpGetDpiForMonitor() {
  // Windows 7 has no shcore.dll; the library stays loaded for the life of the process.
  const HMODULE shcore = LoadSystemLibrary(L"shcore.dll");
  if (shcore == nullptr) return nullptr;
  return reinterpret_cast<GetDpiForMonitorFunction>(
      reinterpret_cast<void*>(GetProcAddress(shcore, "GetDpiForMonitor")));
}

GetDpiForWindowFunction LookUpGetDpiForWindow() {
  const HMODULE user32 = GetModuleHandleW(L"user32.dll");
  if (user32 == nullptr) return nullptr;
  return reinterpret_cast<GetDpiForWindowFunction>(
      reinterpret_cast<void*>(GetProcAddress(user32, "GetDpiForWindow")));
}

Rect FromRECT(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }

void PlaceChild(HWND child, const Rect& rect, HFONT font) {
  if (child == nullptr) return;
  const int width = rect.Width() < 2 ? 1 : rect.Width();
  const int height = rect.Height() < 2 ? 1 : rect.Height();
  SetWindowPos(child, nullptr, rect.left, rect.top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), 0);
}

HWND Hwnd(WindowHandle handle) { return static_cast<HWND>(handle); }

}  // namespace

SetupFonts CurrentFonts() { return {g_fonts.title.Get(), g_fonts.body.Get(), g_fonts.button.Get(), g_fonts.brand.Get()}; }

int GetMonitorDpi(HMONITOR monitor) {
  // Looked up on every call, which is rare: a function-local static would bring the runtime's
  // thread-safe guard and its condition variables into the exe.
  const GetDpiForMonitorFunction getDpiForMonitor = LookUpGetDpiForMonitor();
  if (getDpiForMonitor != nullptr) {
    UINT horizontal = 0;
    UINT vertical = 0;
    if (getDpiForMonitor(monitor, kMdtEffectiveDpi, &horizontal, &vertical) >= 0 && vertical != 0) {
      return ClampDpi(int(vertical));
    }
  }
  const HDC screen = GetDC(nullptr);
  if (screen == nullptr) return kBaseDpi;
  const int value = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return value <= 0 ? kBaseDpi : ClampDpi(value);
}

int GetWindowDpi(HWND window) {
  const GetDpiForWindowFunction getDpiForWindow = LookUpGetDpiForWindow();
  if (getDpiForWindow != nullptr) {
    const UINT value = getDpiForWindow(window);
    if (value != 0) return ClampDpi(int(value));
  }
  return GetMonitorDpi(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST));
}

bool ApplyDpiLayout(int requestedDpi, HWND window, const RECT* reference) {
  RECT referenceRect = {0, 0, 0, 0};
  if (reference != nullptr) {
    referenceRect = *reference;
  } else if (window != nullptr) {
    GetWindowRect(window, &referenceRect);
  }
  const HMONITOR monitor = MonitorFromRect(&referenceRect, MONITOR_DEFAULTTONEAREST);
  MONITORINFO info = {};
  info.cbSize = sizeof(info);
  RECT work = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  if (GetMonitorInfoW(monitor, &info)) work = info.rcWork;

  const BaseSize base = PageBaseSize(g_setup.state, window != nullptr, OutcomeSucceeded(window));
  const FitResult fit = FitToWorkArea(requestedDpi, base, FromRECT(work), FromRECT(referenceRect));

  FontSet fonts;
  fonts.title = MakeFont(kTitleFontSpec, fit.dpi);
  fonts.body = MakeFont(kBodyFontSpec, fit.dpi);
  fonts.button = MakeFont(kButtonFontSpec, fit.dpi);
  fonts.brand = MakeFont(kBrandFontSpec, fit.dpi);
  if (!fonts.title || !fonts.body || !fonts.button || !fonts.brand) return false;

  // The previous fonts live on in `fonts` until the children hold the new ones.
  std::swap(fonts, g_fonts);
  g_setup.layoutDpi = fit.dpi;
  if (window == nullptr) return true;

  const Rect& placed = fit.window;
  SetWindowPos(window, nullptr, placed.left, placed.top, placed.Width(), placed.Height(),
               SWP_NOZORDER | SWP_NOACTIVATE);
  const PageLayout layout = ComputePageLayout(placed.Width(), placed.Height(), fit.dpi, base.failureLayout);
  const bool codePage = g_setup.state == SetupState::EnterCode;
  PlaceChild(Hwnd(g_setup.cancelButton), codePage ? layout.primaryRect : layout.cancelRect, g_fonts.button.Get());
  PlaceChild(Hwnd(g_setup.primaryButton), layout.primaryRect, g_fonts.button.Get());
  PlaceChild(Hwnd(g_setup.copyButton), layout.copyRect, g_fonts.button.Get());
  PlaceChild(Hwnd(g_setup.errorEdit), layout.errorRect, g_fonts.body.Get());
  for (int i = 0; i < kDigitCount; ++i) {
    PlaceChild(Hwnd(g_setup.digitBoxes[i]), CodeBoxRect(layout, i), g_fonts.body.Get());
  }
  InvalidateRect(window, nullptr, FALSE);
  return true;
}

void ReleaseFonts() { g_fonts = FontSet(); }

}  // namespace vaq
