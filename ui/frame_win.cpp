#include "ui/frame_win.h"

#include <cstring>

#include "base/setup_context.h"
#include "base/startup_steps_win.h"
#include "ui/button_win.h"
#include "ui/layout.h"
#include "ui/layout_win.h"
#include "ui/page.h"
#include "ui/page_win.h"
#include "ui/surface_win.h"

namespace vaq {
namespace {

constexpr int kDragBandTop = 8;
constexpr int kDragBandBottom = 82;
constexpr int kNoState = -1;
constexpr UINT kPrintWholeControl = PRF_NONCLIENT | PRF_CLIENT | PRF_ERASEBKGND;

// What the cached page was rendered for; the layer's own size is a key too.
struct PageKeys {
  int state = kNoState;
  int dpi = 0;
  bool succeeded = false;
  bool startFailure = false;
};

// Held beside g_setup for the life of the process.
Surface g_pageLayer;
Surface g_frameLayer;
PageKeys g_pageKeys;
unsigned g_pageRenders = 0;

bool VisibleChild(HWND child) {
  return child != nullptr && (GetWindowLongW(child, GWL_STYLE) & WS_VISIBLE) != 0;
}

RECT ClientRectOf(HWND child, HWND window) {
  RECT r;
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

bool RenderPageIfStale(int width, int height, bool succeeded) {
  const PageKeys wanted{int(g_setup.state), g_setup.layoutDpi, succeeded, g_setup.startFailure};
  const bool fresh = wanted.state == g_pageKeys.state && wanted.dpi == g_pageKeys.dpi &&
                     wanted.succeeded == g_pageKeys.succeeded && wanted.startFailure == g_pageKeys.startFailure &&
                     g_pageLayer.Width() == width && g_pageLayer.Height() == height;
  if (fresh) return true;
  if (!g_pageLayer.Create(width, height)) return false;
  const SetupFonts fonts = CurrentFonts();
  RenderPage(g_pageLayer, g_setup.layoutDpi, g_setup.state, succeeded, g_setup.startFailure, fonts.title, fonts.body,
             fonts.brand, -1);
  g_pageKeys = wanted;
  ++g_pageRenders;
  return true;
}

// The error text box is a real control the system does not paint on a layered window: it
// draws itself into a scratch surface, made opaque because GDI leaves alpha 0.
void CaptureErrorBox(HWND window) {
  const HWND edit = static_cast<HWND>(g_setup.errorEdit);
  if (!VisibleChild(edit)) return;
  const RECT r = ClientRectOf(edit, window);
  Surface scratch;
  if (!scratch.Create(r.right - r.left, r.bottom - r.top)) return;
  // Whatever the control leaves unpainted (Wine draws no non-client area into a WM_PRINT DC)
  // reads as the box's own background rather than as black.
  FillRoundRect(scratch, 0.0f, 0.0f, float(scratch.Width()), float(scratch.Height()), 0.0f, palette::kPanel, 255);
  SendMessageW(edit, WM_PRINT, reinterpret_cast<WPARAM>(SurfaceDc(scratch)), kPrintWholeControl);
  scratch.MakeOpaque(0, 0, scratch.Width(), scratch.Height());
  BlitTo(scratch, SurfaceDc(g_frameLayer), r.left, r.top);
}

}  // namespace

const Surface& FrameLayer() { return g_frameLayer; }
unsigned PageRenderCount() { return g_pageRenders; }

void ComposeFrame(HWND window, HDC target) {
  RECT client;
  if (!GetClientRect(window, &client)) return;
  const int width = client.right - client.left;
  const int height = client.bottom - client.top;
  if (!g_frameLayer.Create(width, height)) return;
  if (!RenderPageIfStale(width, height, OutcomeSucceeded(window))) return;
  VAQ_STARTUP_STEP("page layer");
  std::memcpy(g_frameLayer.Pixels(), g_pageLayer.Pixels(), size_t(width) * size_t(height) * 4);

  if (g_setup.state == SetupState::Installing) DrawProgressBar(g_frameLayer, g_setup.layoutDpi, g_setup.spinnerFrame);
  if (g_setup.state == SetupState::EnterCode) DrawCodeEntryOverlay(g_frameLayer, g_setup.layoutDpi);
  for (WindowHandle handle : {g_setup.cancelButton, g_setup.copyButton, g_setup.primaryButton}) {
    const HWND button = static_cast<HWND>(handle);
    if (VisibleChild(button)) PaintButton(button, SurfaceDc(g_frameLayer), ClientRectOf(button, window), 0);
  }
  CaptureErrorBox(window);
  GdiFlush();
  VAQ_STARTUP_STEP("first frame");
  if (target != nullptr) {
    BlitTo(g_frameLayer, target, 0, 0);
  } else {
    PresentLayered(g_frameLayer, window, 255);
  }
}

LRESULT HitTest(HWND window, WPARAM wParam, LPARAM lParam) {
  const LRESULT answer = DefWindowProcW(window, WM_NCHITTEST, wParam, lParam);
  POINT point = {short(LOWORD(lParam)), short(HIWORD(lParam))};
  ScreenToClient(window, &point);
  const bool inside = g_frameLayer.Pixels() != nullptr && point.x >= 0 && point.x < g_frameLayer.Width() &&
                      point.y >= 0 && point.y < g_frameLayer.Height();
  if (inside && (g_frameLayer.Pixels()[size_t(point.y) * size_t(g_frameLayer.Width()) + size_t(point.x)] &
                 0x80000000u) == 0) {
    return HTTRANSPARENT;
  }
  const int dpi = g_setup.layoutDpi;
  if (answer == HTCLIENT && MulDivRound(kDragBandTop, dpi, kBaseDpi) <= point.y &&
      point.y < MulDivRound(kDragBandBottom, dpi, kBaseDpi)) {
    return HTCAPTION;
  }
  return answer;
}

void ReleaseFrameLayers() {
  g_pageLayer.Release();
  g_frameLayer.Release();
  g_pageKeys = PageKeys();
}

}  // namespace vaq
