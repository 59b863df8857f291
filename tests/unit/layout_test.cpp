#include "ui/layout.h"

#include <gtest/gtest.h>

namespace vaq {

std::ostream& operator<<(std::ostream& out, const Rect& r) {
  return out << r.left << "," << r.top << "," << r.right << "," << r.bottom;
}

namespace {

TEST(Dpi, ClampAndScale) {
  EXPECT_EQ(ClampDpi(0), 96);
  EXPECT_EQ(ClampDpi(-5), 96);
  EXPECT_EQ(ClampDpi(30), 48);
  EXPECT_EQ(ClampDpi(1000), 768);
  EXPECT_EQ(ClampDpi(144), 144);
  EXPECT_EQ(ScaleDpi(10, 144), 15);
  EXPECT_EQ(ScaleDpi(1, 144), 2);    // 1.5 rounds away from zero
  EXPECT_EQ(ScaleDpi(-1, 144), -2);
  EXPECT_EQ(ScaleDpi(5, 120), 6);    // 6.25
  EXPECT_EQ(ScaleDpi(10, 0), 10);
  EXPECT_EQ(MulDivRound(476, 110, 96), 545);
}

struct LayoutCase {
  int32_t width, height, dpi;
  bool failure;
  PageLayout expected;
};

TEST(ComputePageLayout, Tables) {
  const LayoutCase cases[] = {
      {496, 328, 96, false,
       {{8, 8, 488, 320}, {40, 30, 456, 62}, {40, 96, 456, 134}, {40, 144, 456, 188}, {40, 182, 456, 222},
        {296, 244, 456, 288}, {152, 244, 280, 288}, {40, 244, 168, 288}, 96}},
      {496, 364, 96, false,
       {{8, 8, 488, 356}, {40, 30, 456, 62}, {40, 96, 456, 134}, {40, 144, 456, 188}, {40, 182, 456, 258},
        {296, 280, 456, 324}, {152, 280, 280, 324}, {40, 280, 168, 324}, 96}},
      {576, 476, 96, true,
       {{8, 8, 568, 468}, {40, 30, 536, 62}, {40, 96, 536, 134}, {40, 142, 536, 172}, {40, 182, 536, 370},
        {376, 392, 536, 436}, {232, 392, 360, 436}, {40, 392, 168, 436}, 96}},
      {744, 492, 144, false,
       {{12, 12, 732, 480}, {60, 45, 684, 93}, {60, 144, 684, 201}, {60, 216, 684, 282}, {60, 273, 684, 333},
        {444, 366, 684, 432}, {228, 366, 420, 432}, {60, 366, 252, 432}, 144}},
  };
  for (const LayoutCase& c : cases) {
    const PageLayout l = ComputePageLayout(c.width, c.height, c.dpi, c.failure);
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << "@" << c.dpi);
    EXPECT_EQ(l.cardRect, c.expected.cardRect);
    EXPECT_EQ(l.headerRect, c.expected.headerRect);
    EXPECT_EQ(l.titleRect, c.expected.titleRect);
    EXPECT_EQ(l.subtitleRect, c.expected.subtitleRect);
    EXPECT_EQ(l.errorRect, c.expected.errorRect);
    EXPECT_EQ(l.primaryRect, c.expected.primaryRect);
    EXPECT_EQ(l.cancelRect, c.expected.cancelRect);
    EXPECT_EQ(l.copyRect, c.expected.copyRect);
    EXPECT_EQ(l.dpi, c.expected.dpi);
  }
}

TEST(ComputePageLayout, RoundsTermByTerm) {
  // At 100 DPI s(8) + s(32) = 41 but s(40) = 42: each term is rounded by itself.
  const PageLayout l = ComputePageLayout(517, 342, 100, false);
  EXPECT_EQ(l.primaryRect, (Rect{309, 255, 476, 301}));
  EXPECT_EQ(l.cancelRect, (Rect{159, 255, 292, 301}));
  EXPECT_EQ(l.titleRect.left, 41);
}

TEST(CodeBoxRect, At96And144) {
  const PageLayout l96 = ComputePageLayout(496, 364, 96, false);
  const PageLayout l144 = ComputePageLayout(744, 546, 144, false);
  const int32_t x96[] = {40, 106, 172, 238};
  const int32_t x144[] = {60, 159, 258, 357};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(CodeBoxRect(l96, i), (Rect{x96[i], 175, x96[i] + 52, 227}));
    EXPECT_EQ(CodeBoxRect(l144, i), (Rect{x144[i], 263, x144[i] + 78, 341}));
  }
}

struct FitCase {
  Rect work;
  int32_t requestedDpi;
  BaseSize base;
  Rect reference;
  int32_t dpi;
  Rect window;
};

TEST(FitToWorkArea, Cases) {
  const BaseSize confirm = PageBaseSize(SetupState::Confirm, true, true);
  const BaseSize code = PageBaseSize(SetupState::EnterCode, true, false);
  const BaseSize failure = PageBaseSize(SetupState::Finished, true, false);
  const FitCase cases[] = {
      {{0, 0, 1920, 1040}, 96, confirm, {100, 100, 101, 101}, 96, {100, 100, 596, 428}},
      {{0, 0, 1920, 1040}, 144, confirm, {100, 100, 101, 101}, 144, {100, 100, 844, 592}},
      {{0, 0, 1280, 680}, 192, code, {0, 0, 1, 1}, 175, {0, 0, 904, 664}},
      {{0, 0, 800, 560}, 120, failure, {0, 0, 1, 1}, 110, {0, 0, 660, 544}},
      // pulled back inside the work area
      {{0, 0, 1920, 1040}, 96, confirm, {1800, 900, 2000, 1000}, 96, {1424, 712, 1920, 1040}},
      {{50, 40, 1920, 1040}, 96, confirm, {-300, -20, 0, 0}, 96, {50, 40, 546, 368}},
      // no room at all: the smallest DPI and a one-pixel side
      {{0, 0, 17, 1040}, 96, confirm, {0, 0, 1, 1}, 48, {0, 0, 1, 164}},
      {{0, 0, 3000, 3000}, 0, confirm, {0, 0, 1, 1}, 96, {0, 0, 496, 328}},
      {{0, 0, 3000, 3000}, 30, confirm, {0, 0, 1, 1}, 48, {0, 0, 248, 164}},
  };
  for (const FitCase& c : cases) {
    const FitResult fit = FitToWorkArea(c.requestedDpi, c.base, c.work, c.reference);
    SCOPED_TRACE(testing::Message() << "work " << c.work << " dpi " << c.requestedDpi);
    EXPECT_EQ(fit.dpi, c.dpi);
    EXPECT_EQ(fit.window, c.window);
  }
}

TEST(PageBaseSize, FailurePageNeedsAWindow) {
  EXPECT_TRUE(PageBaseSize(SetupState::Finished, true, false).failureLayout);
  EXPECT_EQ(PageBaseSize(SetupState::Finished, true, false).width, 576);
  EXPECT_FALSE(PageBaseSize(SetupState::Finished, false, false).failureLayout);
  EXPECT_EQ(PageBaseSize(SetupState::Finished, true, true).height, 328);
  EXPECT_EQ(PageBaseSize(SetupState::EnterCode, false, false).height, 364);
}

}  // namespace
}  // namespace vaq
