// The paste road: FilterPastedText keeps at most 31 units, drops every tab, line feed, carriage
// return and space, and agrees with a plain reading of the block; PlaceDigits then writes only
// digits into the boxes and changes nothing at all when it refuses the text.
// Input: byte 0 picks the box, byte 1 the boxes already filled; the rest is the clipboard block.
#include "app/digit_entry.h"
#include "base/text.h"
#include "fuzz/fuzz_support.h"
#include "tests/unit/fake_digit_slots.h"

#include <algorithm>

namespace {

bool IsDropped(char16_t c) { return c == u'\t' || c == u'\n' || c == u'\r' || c == u' '; }

// The units before the first NUL without the dropped ones, or empty without a NUL in reach.
std::u16string ReferenceFilter(std::u16string_view block) {
  const size_t reach = std::min(block.size(), vaq::kPasteUnitBound);
  const size_t nul = block.find(u'\0');
  if (nul == std::u16string_view::npos || nul >= reach) return {};
  std::u16string kept;
  for (size_t i = 0; i < nul; ++i) {
    if (!IsDropped(block[i])) kept.push_back(block[i]);
  }
  return kept;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const int box = data[0] % vaq::kDigitCount;
  const uint8_t filled = data[1];
  const vaq::fuzz::ExactWide input(data + 2, size - 2);
  const std::u16string_view block = input.view();

  const vaq::SecretText filtered = vaq::FilterPastedText(block.data(), block.size());
  const std::u16string_view text = filtered;
  FUZZ_CHECK(text.size() < vaq::kPasteUnitBound);
  for (char16_t c : text) FUZZ_CHECK(!IsDropped(c));
  FUZZ_CHECK(text == ReferenceFilter(block));

  vaq::SetupContext context;
  context.authorizeRequest.failureText = u"x";
  vaq::test::FakeDigitSlots slots;
  for (int i = 0; i < vaq::kDigitCount; ++i) {
    if (filled & (1 << i)) slots.texts[i] = std::u16string(1, char16_t(u'0' + i));
  }
  slots.focus = box;
  const vaq::test::FakeDigitSlots before = slots;
  vaq::PlaceDigits(context, slots, box, text);

  for (const std::u16string& boxText : slots.texts) {
    FUZZ_CHECK(boxText.size() <= 1);
    for (char16_t c : boxText) FUZZ_CHECK(vaq::IsDecimalDigit(c));
  }
  bool allDigits = !text.empty();
  for (char16_t c : text) allDigits = allDigits && vaq::IsDecimalDigit(c);
  const int first = text.size() == size_t(vaq::kDigitCount) ? 0 : box;
  const bool fits = text.size() <= size_t(vaq::kDigitCount - first);
  if (!allDigits || !fits) {
    FUZZ_CHECK(slots.texts == before.texts);
    FUZZ_CHECK(slots.focus == before.focus && slots.submits == 0 && slots.repaints == 0);
    FUZZ_CHECK(context.authorizeRequest.failureText == u"x");
    return 0;
  }
  for (size_t i = 0; i < text.size(); ++i) FUZZ_CHECK(slots.texts[first + i] == text.substr(i, 1));
  for (int i = 0; i < vaq::kDigitCount; ++i) {
    if (i < first || i >= first + int(text.size())) FUZZ_CHECK(slots.texts[i] == before.texts[i]);
  }
  FUZZ_CHECK(context.authorizeRequest.failureText.empty());
  FUZZ_CHECK(slots.repaints == 1);
  return 0;
}
