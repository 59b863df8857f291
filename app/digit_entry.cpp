#include "app/digit_entry.h"

#include "base/text.h"

namespace vaq {

namespace {

constexpr char16_t kBackspace = 8;

bool IsDroppedFromPaste(char16_t unit) {
  return unit == u'\t' || unit == u'\n' || unit == u'\r' || unit == u' ';
}

}  // namespace

void PlaceDigits(SetupContext& context, DigitSlots& slots, int index, std::u16string_view text) {
  if (text.empty()) return;
  for (char16_t c : text) {
    if (!IsDecimalDigit(c)) return;
  }
  const int first = text.size() == kDigitCount ? 0 : index;
  if (text.size() > static_cast<size_t>(kDigitCount - first)) return;

  context.authorizeRequest.failureText.clear();
  int slot = first;
  for (char16_t c : text) slots.SetText(slot++, std::u16string_view(&c, 1));
  if (slot < kDigitCount) slots.Focus(slot);

  if (!ReadCode(slots).empty()) slots.PostSubmit();
  slots.RepaintPage();
}

SecretBytes ReadCode(DigitSlots& slots) {
  // One named result on every path, so that it is built in the caller's object, not copied.
  SecretBytes code;
  for (int i = 0; i < kDigitCount; ++i) {
    const char16_t c = slots.FirstCharacter(i);
    if (!IsDecimalDigit(c)) {
      code.clear();
      break;
    }
    code.push_back(static_cast<char>(c));
  }
  return code;
}

SecretText FilterPastedText(const char16_t* units, size_t unitCount) {
  SecretText text;
  for (size_t i = 0;; ++i) {
    if (i == kPasteUnitBound || i == unitCount) {
      text.clear();
      return text;
    }
    if (units[i] == 0) return text;
    if (!IsDroppedFromPaste(units[i])) text.push_back(units[i]);
  }
}

void TypeCharacter(SetupContext& context, DigitSlots& slots, int index, char16_t character) {
  if (context.authorizeThread != nullptr) return;
  if (IsDecimalDigit(character)) {
    PlaceDigits(context, slots, index, std::u16string_view(&character, 1));
    return;
  }
  if (character != kBackspace) return;
  const int target = (index > 0 && slots.FirstCharacter(index) == 0) ? index - 1 : index;
  slots.SetText(target, u"");
  slots.Focus(target);
  slots.RepaintPage();
}

bool PressNavigationKey(DigitSlots& slots, int index, uint32_t virtualKey) {
  switch (virtualKey) {
    case kKeyLeft:
      if (index > 0) slots.Focus(index - 1);
      return true;
    case kKeyRight:
      if (index < kDigitCount - 1) slots.Focus(index + 1);
      return true;
    case kKeyDelete:
      slots.SetText(index, u"");
      return true;
    default:
      return false;
  }
}

}  // namespace vaq
