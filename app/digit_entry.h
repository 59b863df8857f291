#pragma once
// The four one-character code boxes as plain text logic: what typing, deleting, moving and
// pasting do to the slots. The Win32 layer routes the boxes' keyboard messages here.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/setup_context.h"

namespace vaq {

// What the digit model needs from the four boxes; index 0 to kDigitCount - 1.
class DigitSlots {
 public:
  virtual ~DigitSlots() = default;
  // The box's first character, or 0 when the box is empty.
  virtual char16_t FirstCharacter(int index) = 0;
  virtual void SetText(int index, std::u16string_view text) = 0;
  virtual void Focus(int index) = 0;
  // Posts WM_SETUP_SUBMIT_CODE to the setup window (posted: it runs after the current message).
  virtual void PostSubmit() = 0;
  // Asks the setup window to compose its page again.
  virtual void RepaintPage() = 0;
};

// Writes a run of digits from box index on (from box 0 when it is a whole code); text that
// holds a non-digit or does not fit changes nothing. Completing the code posts the submission.
void PlaceDigits(SetupContext& context, DigitSlots& slots, int index, std::u16string_view text);

// The four digits as ASCII bytes in box order, or empty when a box holds no digit.
SecretBytes ReadCode(DigitSlots& slots);

// The clipboard's wide text as it is offered to PlaceDigits: units up to the first NUL with
// tab, line feed, carriage return and space dropped; empty when no NUL comes within the first
// kPasteUnitBound positions or within the unitCount units of the block.
constexpr size_t kPasteUnitBound = 32;
SecretText FilterPastedText(const char16_t* units, size_t unitCount);

// A character typed into box index (WM_CHAR): digits are placed, Backspace empties this box or,
// from an empty box, the previous one; everything else, and anything during a verification,
// is ignored.
void TypeCharacter(SetupContext& context, DigitSlots& slots, int index, char16_t character);

// Keys the boxes handle themselves (WM_KEYDOWN): Left, Right and Delete. False for any other key.
constexpr uint32_t kKeyLeft = 0x25;
constexpr uint32_t kKeyRight = 0x27;
constexpr uint32_t kKeyDelete = 0x2E;
bool PressNavigationKey(DigitSlots& slots, int index, uint32_t virtualKey);

}  // namespace vaq
