#include "ui/page_win.h"

#include <string>

#include "ui/layout_win.h"
#include "ui/page.h"
#include "ui/text_win.h"

namespace vaq {
namespace {

constexpr int kProductOffset = 120;

bool DrawTextIn(Surface& surface, std::u16string_view text, HFONT font, const Rect& r, Colour colour, UINT format) {
  return DrawTextAlpha(surface, text, font, r.left, r.top, r.right, r.bottom, colour, format | DT_NOPREFIX, 255);
}

}  // namespace

bool OutcomeSucceeded(HWND window) { return window != nullptr && GetWindowLongPtrW(window, GWLP_USERDATA) != 0; }

void SetOutcome(HWND window, bool succeeded) { SetWindowLongPtrW(window, GWLP_USERDATA, succeeded ? 1 : 0); }

void RenderPage(Surface& surface, int dpi, SetupState state, bool succeeded, bool startFailure, HFONT titleFont,
                HFONT bodyFont, HFONT brandFont, int progressFrame) {
  const PageKind page{state, succeeded, startFailure};
  const PageLayout layout = ComputePageLayout(surface.Width(), surface.Height(), dpi, page.FailurePage());
  RenderCard(surface, layout);
  const Rect& header = layout.headerRect;
  DrawTextIn(surface, page_text::kBrand, brandFont, header, palette::kBrand, DT_VCENTER | DT_SINGLELINE);
  const Rect product = {header.left + ScaleDpi(kProductOffset, dpi), header.top, header.right, header.bottom};
  DrawTextIn(surface, page_text::kProduct, bodyFont, product, palette::kMuted, DT_RIGHT | DT_VCENTER | DT_SINGLELINE);
  DrawTextIn(surface, PageTitle(page), titleFont, layout.titleRect,
             page.FailurePage() ? palette::kAlert : palette::kInk, DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
  if (state == SetupState::EnterCode) return;
  DrawTextIn(surface, PageSubtitle(page), bodyFont, layout.subtitleRect, palette::kMuted, DT_WORDBREAK);
  if (state == SetupState::Installing && progressFrame >= 0) DrawProgressBar(surface, dpi, progressFrame);
  if (page.FailurePage()) DrawErrorPanel(surface, layout);
}

void DrawCodeBox(Surface& surface, const Rect& box, HFONT font, int dpi, bool filled, bool focused, bool error) {
  DrawCodeBoxFrame(surface, box, dpi, focused, error);
  if (!filled) return;
  DrawTextIn(surface, page_text::kBullet, font, box, palette::kInk, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

void DrawCodeEntryOverlay(Surface& surface, int dpi) {
  const PageLayout layout = ComputePageLayout(surface.Width(), surface.Height(), dpi, false);
  const SetupFonts fonts = CurrentFonts();
  DrawTextIn(surface, ServiceLine(), fonts.body, ServiceLineRect(layout), palette::kMuted,
             DT_SINGLELINE | DT_END_ELLIPSIS);
  const CodeHint hint = CodeHintOf(g_setup);
  const HWND focus = GetFocus();
  for (int i = 0; i < kDigitCount; ++i) {
    const HWND box = static_cast<HWND>(g_setup.digitBoxes[i]);
    const bool filled = box != nullptr && GetWindowTextLengthW(box) > 0;
    DrawCodeBox(surface, CodeBoxRect(layout, i), fonts.title, dpi, filled, box != nullptr && box == focus,
                hint.failure);
  }
  DrawTextIn(surface, hint.text, fonts.body, CodeHintRect(layout), hint.failure ? palette::kAlert : palette::kMuted,
             DT_WORDBREAK | DT_END_ELLIPSIS);
}

}  // namespace vaq
