#include "ui/button.h"

#include <gtest/gtest.h>

namespace vaq {
namespace {

struct ColourCase {
  ButtonLook look;
  uint32_t border, fill, caption;
};

TEST(ButtonColours, EveryVariant) {
  const ColourCase cases[] = {
      {{true, false, false, false, true}, 0x176E50, 0x176E50, 0xFFFFFF},
      {{true, false, true, false, true}, 0x1B7C59, 0x1B7C59, 0xFFFFFF},
      {{true, true, true, false, true}, 0x104F39, 0x104F39, 0xFFFFFF},
      {{true, true, true, false, false}, 0xE9EFEA, 0xE9EFEA, 0x7E9186},
      {{false, false, false, false, true}, 0xD8E5DC, 0xFFFFFF, 0x1E3B2F},
      {{false, false, true, false, true}, 0xD8E5DC, 0xF3F8F4, 0x1E3B2F},
      {{false, true, false, false, true}, 0xD8E5DC, 0xE7F1EA, 0x1E3B2F},
      {{false, true, true, true, false}, 0xD8E5DC, 0xE9EFEA, 0x7E9186},
  };
  for (const ColourCase& c : cases) {
    const ButtonColours colours = ButtonColoursOf(c.look);
    SCOPED_TRACE(testing::Message() << std::hex << c.fill);
    EXPECT_EQ(colours.border, Rgb(c.border));
    EXPECT_EQ(colours.fill, Rgb(c.fill));
    EXPECT_EQ(colours.caption, Rgb(c.caption));
  }
  EXPECT_EQ(ButtonColoursOf({true, false, false, true, false}).ring, Rgb(0xACD8BC));
  EXPECT_EQ(ButtonColoursOf({false, false, false, true, true}).ring, Rgb(0x7CAA8F));
}

TEST(RenderButtonShape, OpaqueCornersAndFocusRingInset) {
  Surface s;
  ASSERT_TRUE(s.Create(160, 44));
  RenderButtonShape(s, 96, {true, false, false, true, true});
  const auto at = [&](int x, int y) { return s.Pixels()[y * 160 + x]; };
  EXPECT_EQ(at(0, 0), 0xFFFFFFFFu);     // corner outside the rounded shape stays white
  EXPECT_EQ(at(80, 2), 0xFF176E50u);    // fill
  EXPECT_EQ(at(80, 4), 0xFFACD8BCu);    // ring row, inset 4
  EXPECT_EQ(at(80, 10), 0xFF176E50u);   // fill inside the ring
  for (int i = 0; i < 160 * 44; ++i) ASSERT_EQ(s.Pixels()[i] >> 24, 255u) << i;
  EXPECT_EQ(ButtonCaptionInset(144), 12);
}

}  // namespace
}  // namespace vaq
