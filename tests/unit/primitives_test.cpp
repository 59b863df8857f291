#include "ui/primitives.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace vaq {
namespace {

uint32_t Argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) { return a << 24 | r << 16 | g << 8 | b; }

struct BlendCase {
  uint32_t before;
  Colour colour;
  uint32_t coverage;
  uint32_t after;
};

TEST(BlendPixel, PremultipliedSourceOver) {
  const BlendCase cases[] = {
      {0, Rgb(0xFFFFFF), 128, Argb(128, 128, 128, 128)},
      {0xFFFFFFFF, Rgb(0x000000), 128, Argb(255, 127, 127, 127)},
      {0xFFFFFFFF, Rgb(0x176E50), 128, Argb(255, 139, 182, 167)},
      {Argb(10, 1, 2, 3), Rgb(0x176E50), 255, Argb(255, 0x17, 0x6E, 0x50)},
      {Argb(10, 1, 2, 3), Rgb(0x176E50), 900, Argb(255, 0x17, 0x6E, 0x50)},
      {Argb(10, 1, 2, 3), Rgb(0x176E50), 0, Argb(10, 1, 2, 3)},
  };
  for (const BlendCase& c : cases) {
    Surface s;
    ASSERT_TRUE(s.Create(1, 1));
    s.Pixels()[0] = c.before;
    BlendPixel(s, 0, 0, c.colour, c.coverage);
    EXPECT_EQ(s.Pixels()[0], c.after) << std::hex << c.colour << " " << c.coverage;
  }
}

TEST(BlendPixel, IgnoresPointsOutsideAndEmptySurface) {
  Surface s;
  BlendPixel(s, 0, 0, 0, 255);  // no pixels: nothing to do
  ASSERT_TRUE(s.Create(2, 2));
  BlendPixel(s, 2, 0, 0, 255);
  BlendPixel(s, 0, 2, 0, 255);
  BlendPixel(s, uint32_t(-1), 0, 0, 255);
  EXPECT_TRUE(std::all_of(s.Pixels(), s.Pixels() + 4, [](uint32_t p) { return p == 0; }));
}

TEST(FillRoundRect, CoveringRectangleIsOpaqueEverywhere) {
  Surface s;
  ASSERT_TRUE(s.Create(7, 5));
  FillRoundRect(s, 0, 0, 7, 5, 0, Rgb(0xFFFFFF), 255);
  EXPECT_TRUE(std::all_of(s.Pixels(), s.Pixels() + 35, [](uint32_t p) { return p == 0xFFFFFFFF; }));
}

TEST(FillRoundRect, HalfPixelInsetGivesRingOfHalfAlpha) {
  Surface s;
  ASSERT_TRUE(s.Create(6, 5));
  FillRoundRect(s, 0.5f, 0.5f, 5.5f, 4.5f, 0, Rgb(0x000000), 255);
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 6; ++x) {
      const bool ring = x == 0 || y == 0 || x == 5 || y == 4;
      EXPECT_EQ(s.Pixels()[y * 6 + x] >> 24, ring ? 128u : 255u) << x << "," << y;
    }
  }
}

// A shape's pixels: alpha per pixel as a flat list.
std::vector<uint32_t> Alphas(const Surface& s) {
  std::vector<uint32_t> out;
  for (int i = 0; i < s.Width() * s.Height(); ++i) out.push_back(s.Pixels()[i] >> 24);
  return out;
}

std::vector<uint32_t> Filled(float radius, uint32_t alpha) {
  Surface s;
  EXPECT_TRUE(s.Create(24, 12));
  FillRoundRect(s, 2, 2, 22, 10, radius, Rgb(0x176E50), alpha);
  return Alphas(s);
}

TEST(FillRoundRect, RadiusAndAlphaAreClamped) {
  EXPECT_EQ(Filled(50, 255), Filled(4, 255));  // half the shorter side: a pill
  EXPECT_NE(Filled(3, 255), Filled(4, 255));
  EXPECT_EQ(Filled(-5, 255), Filled(0, 255));
  EXPECT_EQ(Filled(4, 300), Filled(4, 255));
  const std::vector<uint32_t> none = Filled(4, 0);
  EXPECT_TRUE(std::all_of(none.begin(), none.end(), [](uint32_t a) { return a == 0; }));
}

TEST(FillRoundRect, DegenerateRectangleDrawsNothing) {
  Surface s;
  ASSERT_TRUE(s.Create(8, 8));
  FillRoundRect(s, 4, 2, 4, 6, 0, 0, 255);
  FillRoundRect(s, 2, 6, 6, 5, 0, 0, 255);
  const std::vector<uint32_t> a = Alphas(s);
  EXPECT_TRUE(std::all_of(a.begin(), a.end(), [](uint32_t v) { return v == 0; }));
}

TEST(DrawShadow, BlurZeroDrawsNothing) {
  Surface s;
  ASSERT_TRUE(s.Create(20, 20));
  DrawShadow(s, 4, 4, 16, 16, 2, 0, 2, 0, 36);
  const std::vector<uint32_t> a = Alphas(s);
  EXPECT_TRUE(std::all_of(a.begin(), a.end(), [](uint32_t v) { return v == 0; }));
}

TEST(DrawShadow, LeavesOutTheBandUnderTheShapeOnly) {
  Surface s;
  ASSERT_TRUE(s.Create(40, 44));
  DrawShadow(s, 10, 10, 30, 30, 4, 6, 2, Rgb(0x183222), 36);
  const auto alpha = [&](int x, int y) { return s.Pixels()[y * 40 + x] >> 24; };
  // Hidden band: rows 16..25 (top + r + offset .. bottom - r), columns 11..28.
  EXPECT_EQ(alpha(11, 20), 0u);
  EXPECT_EQ(alpha(28, 20), 0u);
  EXPECT_EQ(alpha(20, 16), 0u);
  EXPECT_EQ(alpha(20, 25), 0u);
  EXPECT_EQ(alpha(10, 20), 36u);  // inside the shifted shape, outside the band
  EXPECT_EQ(alpha(29, 20), 36u);
  EXPECT_EQ(alpha(20, 15), 36u);
  EXPECT_EQ(alpha(20, 26), 36u);
  EXPECT_EQ(alpha(20, 31), 36u);
  // Fading out: further below the shape than above it, and nothing at blur distance.
  EXPECT_GT(alpha(20, 36), 0u);
  EXPECT_EQ(alpha(20, 4), 0u);
  EXPECT_EQ(alpha(20, 38), 0u);
  EXPECT_EQ(alpha(3, 20), 0u);
  EXPECT_GT(alpha(5, 20), alpha(4, 20));
}

}  // namespace
}  // namespace vaq
