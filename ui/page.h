#pragma once
// What each page shows: palette, texts, and the parts of the page drawn without text.
#include <cstdint>
#include <string_view>

#include "app/setup_context.h"
#include "ui/layout.h"
#include "ui/primitives.h"

namespace vaq {

namespace palette {
constexpr Colour kInk = Rgb(0x1E3B2F);
constexpr Colour kMuted = Rgb(0x60756C);
constexpr Colour kBrand = Rgb(0x176E50);
constexpr Colour kAlert = Rgb(0xAA4032);
constexpr Colour kLine = Rgb(0xD8E5DC);
constexpr Colour kCard = Rgb(0xFFFFFF);
constexpr Colour kCodeBoxFill = Rgb(0xF9FBFA);
constexpr Colour kTrack = Rgb(0xE5F0E8);
constexpr Colour kPanel = Rgb(0xF3F7F4);
constexpr Colour kShadow = Rgb(0x183222);
constexpr uint32_t kShadowAlpha = 36;
}  // namespace palette

namespace page_text {
constexpr std::u16string_view kBrand = u"VAQ";
constexpr std::u16string_view kProduct = u"客户端安装";
constexpr std::u16string_view kServiceLinePrefix = u"安装中心  https://";
constexpr std::u16string_view kVerifying = u"正在验证安装授权码…";
constexpr std::u16string_view kCodeHint = u"输入或粘贴 4 位授权码后自动验证。";
constexpr std::u16string_view kBullet = u"\u2022";
}  // namespace page_text

// The failure page: Finished without success, or a run that could not read its own path.
struct PageKind {
  SetupState state;
  bool succeeded;
  bool startFailure;
  bool FailurePage() const { return state == SetupState::Finished && !succeeded; }
};

std::u16string_view PageTitle(const PageKind& page);
// Empty on the code page.
std::u16string_view PageSubtitle(const PageKind& page);

// Clears the surface and draws the shadow and the bordered card of the layout.
void RenderCard(Surface& surface, const PageLayout& layout);

struct ProgressGeometry {
  float left;
  float top;
  float right;
  float height;
  float segmentLeft;
  float segmentLength;
};
ProgressGeometry ProgressBarGeometry(const PageLayout& layout, int32_t frame);
void DrawProgressBar(Surface& surface, int32_t dpi, int32_t frame);

// The failure page's panel behind the error text box.
Rect ErrorPanelRect(const PageLayout& layout);
void DrawErrorPanel(Surface& surface, const PageLayout& layout);

// One code box without its bullet: a border shape and the fill inside it.
void DrawCodeBoxFrame(Surface& surface, const Rect& box, int32_t dpi, bool focused, bool error);

// The hint line of the code page, below the boxes and above the primary row.
Rect CodeHintRect(const PageLayout& layout);
Rect ServiceLineRect(const PageLayout& layout);

}  // namespace vaq
