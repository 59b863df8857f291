#pragma once
// What each page shows: palette, texts, and the parts of the page drawn without text.
#include <cstdint>
#include <string>
#include <string_view>

#include "base/setup_context.h"
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
constexpr std::u16string_view kCodeBoxNameHead = u"授权码第 ";
constexpr std::u16string_view kCodeBoxNameTail = u" 位";
constexpr std::u16string_view kErrorBoxName = u"错误信息";
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

// "安装中心  https://" and the service host: the code page's line under the title.
std::u16string ServiceLine();

// The code page's line under the boxes: the hint, or what replaces it while a code is verified
// or after one failed.
struct CodeHint {
  std::u16string_view text;
  bool failure;
};
CodeHint CodeHintOf(const SetupContext& context);

// What screen readers are told, from the same texts the page draws: the title is the window's
// name, the lines drawn under it (in reading order, one per line) its description.
std::u16string PageDescription(const PageKind& page, const SetupContext& context);
// A code verified or an installation running.
bool PageBusy(const SetupContext& context);
// "授权码第 1 位" for the first box.
std::u16string CodeBoxName(int index);

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
