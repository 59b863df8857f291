#include "ui/surface.h"

#include <gtest/gtest.h>

namespace vaq {
namespace {

TEST(Surface, CreateKeepsContentAtSameSizeAndRejectsBadSizes) {
  Surface s;
  ASSERT_TRUE(s.Create(4, 3));
  s.Pixels()[5] = 0x12345678;
  EXPECT_TRUE(s.Create(4, 3));
  EXPECT_EQ(s.Pixels()[5], 0x12345678u);
  EXPECT_FALSE(s.Create(0, 10));
  EXPECT_FALSE(s.Create(16385, 10));
  EXPECT_FALSE(s.Create(10000, 10000));
  EXPECT_EQ(s.Width(), 4);
  EXPECT_EQ(s.Pixels()[5], 0x12345678u);
  EXPECT_TRUE(SurfaceSizeAllowed(16384, 4096));
  EXPECT_FALSE(SurfaceSizeAllowed(16384, 4097));
}

TEST(Surface, ReleasedAndCreatedAgainStartsTransparent) {
  Surface s;
  s.Release();
  EXPECT_EQ(s.Pixels(), nullptr);
  ASSERT_TRUE(s.Create(2, 2));
  s.Pixels()[0] = 0xFFFFFFFF;
  s.Release();
  EXPECT_EQ(s.Width(), 0);
  ASSERT_TRUE(s.Create(2, 2));
  EXPECT_EQ(s.Pixels()[0], 0u);
}

TEST(Surface, MakeOpaqueClipsAndKeepsColour) {
  Surface s;
  ASSERT_TRUE(s.Create(3, 2));
  for (int i = 0; i < 6; ++i) s.Pixels()[i] = 0x00102030u + i;
  s.MakeOpaque(1, -5, 10, 1);
  const uint32_t expected[] = {0x00102030, 0xFF102031, 0xFF102032, 0x00102033, 0x00102034, 0x00102035};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(s.Pixels()[i], expected[i]) << i;
}

}  // namespace
}  // namespace vaq
