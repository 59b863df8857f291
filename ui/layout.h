#pragma once
// Every length of the setup window is written at 96 DPI and scaled to the layout DPI here.
#include <cstdint>

#include "base/setup_context.h"

namespace vaq {

struct Rect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
  int32_t Width() const { return right - left; }
  int32_t Height() const { return bottom - top; }
  friend bool operator==(const Rect& a, const Rect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
  }
};

struct PageLayout {
  Rect cardRect;
  Rect headerRect;
  Rect titleRect;
  Rect subtitleRect;
  Rect errorRect;
  Rect primaryRect;
  Rect cancelRect;
  Rect copyRect;
  int32_t dpi = 96;
};

constexpr int32_t kBaseDpi = 96;
constexpr int32_t kMinDpi = 48;
constexpr int32_t kMaxDpi = 768;

// Font sizes at 96 DPI and weights.
struct FontSpec {
  int32_t size;
  int32_t weight;
};
constexpr FontSpec kTitleFontSpec{24, 600};
constexpr FontSpec kBodyFontSpec{14, 400};
constexpr FontSpec kButtonFontSpec{15, 500};
constexpr FontSpec kBrandFontSpec{22, 600};
constexpr char16_t kFontFace[] = u"Microsoft YaHei UI";

int32_t ClampDpi(int32_t dpi);
// Rounds value * number / divisor to the nearest integer, halves away from zero, as MulDiv.
int32_t MulDivRound(int32_t value, int32_t number, int32_t divisor);
int32_t ScaleDpi(int32_t value, int32_t dpi);

PageLayout ComputePageLayout(int32_t width, int32_t height, int32_t dpi, bool failureLayout);

struct BaseSize {
  int32_t width;
  int32_t height;
  bool failureLayout;
};
// succeeded only counts when there is a window to read it from.
BaseSize PageBaseSize(SetupState state, bool hasWindow, bool succeeded);

struct FitResult {
  int32_t dpi;
  Rect window;  // only meaningful for a call with a window
};
// The layout DPI and window placement for a requested DPI on a work area: never larger than
// the work area less 16 pixels unless that needs a DPI under 48.
FitResult FitToWorkArea(int32_t requestedDpi, const BaseSize& base, const Rect& workArea, const Rect& reference);

// The four digit boxes of the code page, derived from the layout (96-DPI lengths).
constexpr int32_t kCodeBoxSide = 52;
constexpr int32_t kCodeBoxTop = 31;
Rect CodeBoxRect(const PageLayout& layout, int32_t index);

}  // namespace vaq
