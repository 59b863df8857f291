#include "ui/button_win.h"

#include "base/setup_context.h"
#include "base/wide_win.h"
#include "ui/button.h"
#include "ui/layout_win.h"
#include "ui/surface_win.h"
#include "ui/text_win.h"

namespace vaq {
namespace {

constexpr int kCaptionCapacity = 128;

int AtLeastOne(LONG extent) { return extent < 2 ? 1 : int(extent); }

}  // namespace

void RenderButton(Surface& surface, HFONT font, int dpi, std::u16string_view caption, bool primary, bool pressed,
                  bool hot, bool focused, bool enabled) {
  const ButtonLook look{primary, pressed, hot, focused, enabled};
  RenderButtonShape(surface, dpi, look);
  const int inset = ButtonCaptionInset(dpi);
  DrawTextAlpha(surface, caption, font, inset, 0, surface.Width() - inset, surface.Height(),
                ButtonColoursOf(look).caption, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS,
                255);
}

void PaintButton(HWND control, HDC target, const RECT& rectangle, UINT itemState) {
  Surface scratch;
  if (!scratch.Create(AtLeastOne(rectangle.right - rectangle.left), AtLeastOne(rectangle.bottom - rectangle.top))) {
    return;
  }
  wchar_t caption[kCaptionCapacity] = {};
  const int length = GetWindowTextW(control, caption, kCaptionCapacity);
  const bool pressed = (SendMessageW(control, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0 || (itemState & ODS_SELECTED) != 0;
  const bool focused = (itemState & ODS_FOCUS) != 0 || GetFocus() == control;
  RenderButton(scratch, CurrentFonts().button, g_setup.layoutDpi, AsU16View(caption, size_t(length > 0 ? length : 0)),
               GetDlgCtrlID(control) == IDC_PRIMARY, pressed, control == static_cast<HWND>(g_setup.hotControl),
               focused, IsWindowEnabled(control) != FALSE);
  BlitTo(scratch, target, rectangle.left, rectangle.top);
}

BOOL DrawButtonItem(const DRAWITEMSTRUCT& item) {
  const RECT& r = item.rcItem;
  Surface scratch;
  if (!scratch.Create(r.right - r.left, r.bottom - r.top)) return TRUE;
  const RECT whole = {0, 0, scratch.Width(), scratch.Height()};
  PaintButton(item.hwndItem, SurfaceDc(scratch), whole, item.itemState);
  BlitTo(scratch, item.hDC, r.left, r.top);
  return TRUE;
}

}  // namespace vaq
