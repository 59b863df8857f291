// The code boxes' digit model: typing, deleting, moving and pasting.
#include "app/digit_entry.h"

#include <gtest/gtest.h>

#include "tests/unit/fake_digit_slots.h"

namespace vaq {
namespace {

using test::FakeDigitSlots;

struct DigitEntry : ::testing::Test {
  SetupContext context;
  FakeDigitSlots slots;

  void Type(int index, char16_t c) { TypeCharacter(context, slots, index, c); }
};

TEST_F(DigitEntry, FourTypedDigitsMoveTheFocusAndSubmitOnceAfterTheLast) {
  slots.focus = 0;
  const char16_t digits[] = u"2705";
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(slots.submits, 0) << "before digit " << i;
    Type(slots.focus, digits[i]);
    EXPECT_EQ(slots.focus, i < 3 ? i + 1 : 3);
  }
  EXPECT_EQ(slots.Joined(), u"2705");
  EXPECT_EQ(slots.submits, 1);
  EXPECT_EQ(ReadCode(slots), "2705");
}

TEST_F(DigitEntry, ADigitReplacesTheBoxsDigitAndSubmitsOnlyWhenAllFourStand) {
  slots.texts = {u"1", u"", u"3", u"4"};
  slots.focus = 3;
  Type(3, u'9');
  EXPECT_EQ(slots.Joined(), u"1_39");
  EXPECT_EQ(slots.submits, 0);
  EXPECT_EQ(slots.focus, 3);
  Type(1, u'2');
  EXPECT_EQ(slots.Joined(), u"1239");
  EXPECT_EQ(slots.submits, 1);
}

TEST_F(DigitEntry, OtherCharactersAndAnythingDuringAVerificationAreIgnored) {
  for (char16_t c : {u'a', u'-', u' ', u'\uFF11', u'\r'}) {
    Type(0, c);
  }
  context.authorizeThread = &context;
  slots.texts = {u"1", u"2", u"", u""};
  Type(2, u'3');
  Type(1, 8);
  EXPECT_EQ(slots.Joined(), u"12__");
  EXPECT_EQ(slots.focus, -1);
  EXPECT_EQ(slots.repaints, 0);
}

TEST_F(DigitEntry, PlacingDigitsClearsTheVerificationFailureText) {
  context.authorizeRequest.failureText = u"旧的错误";
  PlaceDigits(context, slots, 0, u"12345");
  EXPECT_EQ(context.authorizeRequest.failureText, u"旧的错误");
  Type(0, u'1');
  EXPECT_EQ(context.authorizeRequest.failureText, u"");
}

TEST_F(DigitEntry, BackspaceEmptiesThisBoxOrFromAnEmptyBoxThePreviousOne) {
  struct Case {
    std::array<std::u16string, 4> before;
    int box;
    std::u16string after;
    int focus;
  };
  const Case cases[] = {
      {{u"1", u"2", u"3", u""}, 2, u"12__", 2},
      {{u"1", u"2", u"", u""}, 2, u"1___", 1},
      {{u"", u"", u"", u""}, 0, u"____", 0},
      {{u"1", u"2", u"3", u"4"}, 3, u"123_", 3},
  };
  for (const Case& c : cases) {
    FakeDigitSlots boxes;
    boxes.texts = c.before;
    TypeCharacter(context, boxes, c.box, 8);
    EXPECT_EQ(boxes.Joined(), c.after) << "box " << c.box;
    EXPECT_EQ(boxes.focus, c.focus) << "box " << c.box;
    EXPECT_EQ(boxes.submits, 0);
  }
}

TEST_F(DigitEntry, NavigationKeys) {
  struct Case {
    int box;
    uint32_t key;
    bool handled;
    std::u16string after;
    int focus;
  };
  const Case cases[] = {
      {0, kKeyLeft, true, u"1234", -1},  {2, kKeyLeft, true, u"1234", 1},
      {3, kKeyRight, true, u"1234", -1}, {1, kKeyRight, true, u"1234", 2},
      {2, kKeyDelete, true, u"12_4", -1}, {2, 0x41, false, u"1234", -1},
  };
  for (const Case& c : cases) {
    FakeDigitSlots boxes;
    boxes.texts = {u"1", u"2", u"3", u"4"};
    EXPECT_EQ(PressNavigationKey(boxes, c.box, c.key), c.handled) << c.key;
    EXPECT_EQ(boxes.Joined(), c.after) << c.key;
    EXPECT_EQ(boxes.focus, c.focus) << c.key;
  }
}

TEST_F(DigitEntry, ReadCodeNeedsADigitInEveryBox) {
  slots.texts = {u"1", u"2", u"x", u"4"};
  EXPECT_EQ(ReadCode(slots), "");
  slots.texts = {u"1", u"2", u"", u"4"};
  EXPECT_EQ(ReadCode(slots), "");
  slots.texts = {u"0", u"0", u"0", u"9"};
  EXPECT_EQ(ReadCode(slots), "0009");
}

TEST_F(DigitEntry, AWholeCodePastedIntoAnyBoxFillsAllFourAndSubmits) {
  for (int box = 0; box < 4; ++box) {
    FakeDigitSlots boxes;
    boxes.focus = box;
    const std::u16string block = u" 1234\r\n";
    PlaceDigits(context, boxes, box, FilterPastedText(block.c_str(), block.size() + 1));
    EXPECT_EQ(boxes.Joined(), u"1234") << "box " << box;
    EXPECT_EQ(boxes.submits, 1) << "box " << box;
    EXPECT_EQ(boxes.focus, box) << "box " << box;
  }
}

TEST_F(DigitEntry, PastesThatDoNotFitOrHoldOtherCharactersChangeNothing) {
  struct Case {
    std::u16string block;  // the clipboard's units, NUL included
    int box;
    std::u16string after;
  };
  const std::u16string nul(1, u'\0');
  const Case cases[] = {
      {u"12" + nul, 2, u"__12"},
      {u"12" + nul, 3, u"____"},
      {u"123" + nul, 2, u"____"},
      {u"12345" + nul, 0, u"____"},
      {u"12-34" + nul, 0, u"____"},
      {u"1\t2 3\n4" + nul, 2, u"1234"},
      {u"" + nul, 0, u"____"},
      {u"1234", 0, u"____"},  // no NUL within the block
      {u"1234" + std::u16string(27, u' ') + nul, 0, u"1234"},   // NUL at position 31
      {u"1234" + std::u16string(28, u' ') + nul, 0, u"____"},   // NUL at position 32
      {u"12" + nul + u"34", 2, u"__12"},  // only what stands before the NUL counts
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "block of " << c.block.size() << " units into box " << c.box);
    FakeDigitSlots boxes;
    boxes.focus = c.box;
    context.authorizeRequest.failureText = u"旧的错误";
    PlaceDigits(context, boxes, c.box, FilterPastedText(c.block.data(), c.block.size()));
    EXPECT_EQ(boxes.Joined(), c.after);
    EXPECT_EQ(boxes.focus, c.box);
    EXPECT_EQ(boxes.submits, c.after == u"1234" ? 1 : 0);
    EXPECT_EQ(context.authorizeRequest.failureText.empty(), c.after != u"____");
  }
}

}  // namespace
}  // namespace vaq
