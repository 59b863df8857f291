#include "ui/page.h"

#include <algorithm>
#include <cmath>

#include "base/service_contract.h"
#include "base/text.h"

namespace vaq {
namespace {

constexpr int32_t kCardRadius = 18;
constexpr int32_t kShadowBlur = 6;
constexpr int32_t kShadowOffset = 2;
constexpr int32_t kProgressGap = 16;
constexpr int32_t kProgressHeight = 5;
constexpr int32_t kProgressSegmentMax = 94;
constexpr int32_t kProgressFrames = 72;
constexpr int32_t kPanelInsetX = 10;
constexpr int32_t kPanelInsetY = 8;
constexpr int32_t kRoundedRadius = 10;  // code boxes and the error panel
constexpr int32_t kServiceLineHeight = 24;
constexpr int32_t kHintGap = 12;
constexpr int32_t kHintBottomGap = 4;
constexpr std::u16string_view kLineBreak = u"\r\n";

struct PageTexts {
  std::u16string_view title;
  std::u16string_view subtitle;
};

PageTexts TextsOf(const PageKind& page) {
  if (page.startFailure) return {u"无法识别安装中心", u"请重新下载安装包，保留文件的原始名称。"};
  switch (page.state) {
    case SetupState::EnterCode:
      return {u"输入安装授权码", u""};
    case SetupState::Confirm:
      return {u"将要安装 VAQ 客户端", u"请确认在此设备上安装，倒计时结束后将自动继续。"};
    case SetupState::Installing:
      return {u"正在安装 VAQ 客户端", u"正在安全下载并配置服务，请保持网络连接。"};
    case SetupState::Finished:
      break;
  }
  if (page.succeeded) return {u"VAQ 客户端安装成功", u"设备已完成配置，此窗口将在倒计时结束后关闭。"};
  return {u"VAQ 客户端安装失败", u"可复制下方错误信息，交由管理员排查。"};
}

}  // namespace

std::u16string_view PageTitle(const PageKind& page) { return TextsOf(page).title; }

std::u16string_view PageSubtitle(const PageKind& page) {
  if (page.state == SetupState::EnterCode) return {};
  return TextsOf(page).subtitle;
}

std::u16string ServiceLine() {
  std::u16string line(page_text::kServiceLinePrefix);
  line += service::kHost;
  return line;
}

CodeHint CodeHintOf(const SetupContext& context) {
  if (context.authorizeThread != nullptr) return {page_text::kVerifying, false};
  const std::u16string& failure = context.authorizeRequest.failureText;
  if (!failure.empty()) return {failure, true};
  return {page_text::kCodeHint, false};
}

std::u16string PageDescription(const PageKind& page, const SetupContext& context) {
  if (page.state != SetupState::EnterCode) return std::u16string(PageSubtitle(page));
  std::u16string lines = ServiceLine();
  lines += kLineBreak;
  lines += CodeHintOf(context).text;
  return lines;
}

bool PageBusy(const SetupContext& context) {
  return context.authorizeThread != nullptr || context.state == SetupState::Installing;
}

std::u16string CodeBoxName(int index) {
  std::u16string name(page_text::kCodeBoxNameHead);
  name += DecimalText(static_cast<uint32_t>(index + 1));
  name += page_text::kCodeBoxNameTail;
  return name;
}

void RenderCard(Surface& surface, const PageLayout& layout) {
  surface.Clear();
  const int32_t dpi = layout.dpi;
  const Rect& card = layout.cardRect;
  const float radius = float(ScaleDpi(kCardRadius, dpi));
  DrawShadow(surface, float(card.left), float(card.top), float(card.right), float(card.bottom), radius,
             float(ScaleDpi(kShadowBlur, dpi)), float(ScaleDpi(kShadowOffset, dpi)), palette::kShadow,
             palette::kShadowAlpha);
  FillRoundRect(surface, card.left + 0.5f, card.top + 0.5f, card.right - 0.5f, card.bottom - 0.5f, radius,
                palette::kLine, 255);
  FillRoundRect(surface, card.left + 1.5f, card.top + 1.5f, card.right - 1.5f, card.bottom - 1.5f,
                float(std::max(ScaleDpi(kCardRadius, dpi) - 1, 0)), palette::kCard, 255);
}

ProgressGeometry ProgressBarGeometry(const PageLayout& layout, int32_t frame) {
  const int32_t dpi = layout.dpi;
  ProgressGeometry g{};
  g.left = float(layout.titleRect.left);
  g.right = float(layout.titleRect.right);
  g.top = float(layout.subtitleRect.bottom + ScaleDpi(kProgressGap, dpi));
  g.height = float(ScaleDpi(kProgressHeight, dpi));
  g.segmentLength = std::min((g.right - g.left) / 3.0f, float(ScaleDpi(kProgressSegmentMax, dpi)));
  const float travel = (g.right - g.left) - g.segmentLength;
  const float phase = float(std::sin(frame * 6.283185307179586 / kProgressFrames));
  g.segmentLeft = (phase * 0.5f + 0.5f) * travel + g.left;
  return g;
}

void DrawProgressBar(Surface& surface, int32_t dpi, int32_t frame) {
  const PageLayout layout = ComputePageLayout(surface.Width(), surface.Height(), dpi, false);
  const ProgressGeometry g = ProgressBarGeometry(layout, frame);
  const float radius = g.height * 0.5f;
  FillRoundRect(surface, g.left, g.top, g.right, g.top + g.height, radius, palette::kTrack, 255);
  FillRoundRect(surface, g.segmentLeft, g.top, g.segmentLeft + g.segmentLength, g.top + g.height, radius,
                palette::kBrand, 255);
}

Rect ErrorPanelRect(const PageLayout& layout) {
  const auto s = [&](int32_t v) { return ScaleDpi(v, layout.dpi); };
  const Rect& e = layout.errorRect;
  return {e.left - s(kPanelInsetX), e.top - s(kPanelInsetY), e.right + s(kPanelInsetX), e.bottom + s(kPanelInsetY)};
}

void DrawErrorPanel(Surface& surface, const PageLayout& layout) {
  const Rect panel = ErrorPanelRect(layout);
  FillRoundRect(surface, float(panel.left), float(panel.top), float(panel.right), float(panel.bottom),
                float(ScaleDpi(kRoundedRadius, layout.dpi)), palette::kPanel, 255);
}

void DrawCodeBoxFrame(Surface& surface, const Rect& box, int32_t dpi, bool focused, bool error) {
  const int32_t radius = ScaleDpi(kRoundedRadius, dpi);
  const int32_t bw = std::max(ScaleDpi(focused ? 2 : 1, dpi), 1);
  const Colour border = error ? palette::kAlert : focused ? palette::kBrand : palette::kLine;
  FillRoundRect(surface, float(box.left), float(box.top), float(box.right), float(box.bottom), float(radius), border,
                255);
  FillRoundRect(surface, float(box.left + bw), float(box.top + bw), float(box.right - bw), float(box.bottom - bw),
                float(std::max(radius - bw, 0)), palette::kCodeBoxFill, 255);
}

Rect ServiceLineRect(const PageLayout& layout) {
  const Rect& sub = layout.subtitleRect;
  return {sub.left, sub.top, sub.right, sub.top + ScaleDpi(kServiceLineHeight, layout.dpi)};
}

Rect CodeHintRect(const PageLayout& layout) {
  const auto s = [&](int32_t v) { return ScaleDpi(v, layout.dpi); };
  const Rect& sub = layout.subtitleRect;
  return {sub.left, sub.top + s(kCodeBoxTop) + s(kCodeBoxSide) + s(kHintGap), sub.right,
          layout.primaryRect.top - s(kHintBottomGap)};
}

}  // namespace vaq
