#pragma once
// Four code boxes in memory that remember focus, submissions and repaint requests.
#include <array>
#include <string>

#include "app/digit_entry.h"

namespace vaq::test {

class FakeDigitSlots : public DigitSlots {
 public:
  std::array<std::u16string, kDigitCount> texts;
  int focus = -1;
  int submits = 0;
  int repaints = 0;

  char16_t FirstCharacter(int index) override { return texts[index].empty() ? 0 : texts[index][0]; }
  void SetText(int index, std::u16string_view text) override { texts[index] = text; }
  void Focus(int index) override { focus = index; }
  void PostSubmit() override { ++submits; }
  void RepaintPage() override { ++repaints; }

  std::u16string Joined() const {
    std::u16string all;
    for (const auto& text : texts) all += text.empty() ? u"_" : text;
    return all;
  }
};

}  // namespace vaq::test
