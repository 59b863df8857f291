#include "ui/layout.h"

#include <algorithm>

namespace vaq {
namespace {

constexpr int32_t kOuterMargin = 8;
constexpr int32_t kCardPadding = 32;
constexpr int32_t kWorkAreaReserve = 16;
constexpr int32_t kCodeBoxPitch = 66;

}  // namespace

int32_t ClampDpi(int32_t dpi) {
  if (dpi <= 0) return kBaseDpi;
  return std::clamp(dpi, kMinDpi, kMaxDpi);
}

int32_t MulDivRound(int32_t value, int32_t number, int32_t divisor) {
  if (divisor == 0) return -1;
  int64_t product = int64_t{value} * number;
  int64_t d = divisor;
  if (d < 0) {
    product = -product;
    d = -d;
  }
  const int64_t magnitude = ((product < 0 ? -product : product) + d / 2) / d;
  return int32_t(product < 0 ? -magnitude : magnitude);
}

int32_t ScaleDpi(int32_t value, int32_t dpi) { return MulDivRound(value, ClampDpi(dpi), kBaseDpi); }

PageLayout ComputePageLayout(int32_t width, int32_t height, int32_t dpi, bool failureLayout) {
  const auto s = [dpi](int32_t v) { return ScaleDpi(v, dpi); };
  const int32_t m = s(kOuterMargin);
  const int32_t p = s(kCardPadding);
  const int32_t inLeft = m + p;
  const int32_t inRight = width - m - p;
  const int32_t inBottom = height - m - p;
  PageLayout l;
  l.dpi = dpi;
  l.cardRect = {m, m, width - m, height - m};
  l.headerRect = {inLeft, m + s(22), inRight, m + s(54)};
  l.titleRect = {inLeft, m + s(88), inRight, m + s(126)};
  l.subtitleRect = failureLayout ? Rect{inLeft, m + s(134), inRight, m + s(164)}
                                 : Rect{inLeft, m + s(136), inRight, m + s(180)};
  l.primaryRect = {inRight - s(160), inBottom - s(44), inRight, inBottom};
  l.errorRect = {inLeft, m + s(174), inRight, l.primaryRect.top - s(22)};
  l.cancelRect = {l.primaryRect.left - s(128) - s(16), l.primaryRect.top, l.primaryRect.left - s(16), inBottom};
  l.copyRect = {inLeft, l.primaryRect.top, inLeft + s(128), inBottom};
  return l;
}

BaseSize PageBaseSize(SetupState state, bool hasWindow, bool succeeded) {
  if (state == SetupState::EnterCode) return {496, 364, false};
  if (state == SetupState::Finished && hasWindow && !succeeded) return {576, 476, true};
  return {496, 328, false};
}

FitResult FitToWorkArea(int32_t requestedDpi, const BaseSize& base, const Rect& work, const Rect& reference) {
  const auto room = [](int32_t extent) { return extent < kWorkAreaReserve + 2 ? 1 : extent - kWorkAreaReserve; };
  const int32_t maxW = room(work.Width());
  const int32_t maxH = room(work.Height());
  int32_t dpi = std::min({MulDivRound(maxW, kBaseDpi, base.width), MulDivRound(maxH, kBaseDpi, base.height),
                          ClampDpi(requestedDpi)});
  dpi = std::max(dpi, kMinDpi);
  const int32_t cx = std::min(MulDivRound(base.width, dpi, kBaseDpi), maxW);
  const int32_t cy = std::min(MulDivRound(base.height, dpi, kBaseDpi), maxH);
  const int32_t x = std::max(std::min(reference.left, work.right - cx), work.left);
  const int32_t y = std::max(std::min(reference.top, work.bottom - cy), work.top);
  return {dpi, {x, y, x + cx, y + cy}};
}

Rect CodeBoxRect(const PageLayout& layout, int32_t index) {
  const int32_t dpi = ClampDpi(layout.dpi);
  const int32_t left = layout.titleRect.left + index * ScaleDpi(kCodeBoxPitch, dpi);
  const int32_t top = layout.subtitleRect.top + ScaleDpi(kCodeBoxTop, dpi);
  const int32_t side = ScaleDpi(kCodeBoxSide, dpi);
  return {left, top, left + side, top + side};
}

}  // namespace vaq
