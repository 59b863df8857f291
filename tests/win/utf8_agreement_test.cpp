// The core's own strict UTF-8 decoder gives what MultiByteToWideChar gives with
// MB_ERR_INVALID_CHARS: the same text for valid input, nothing for invalid input.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "base/failure_text.h"
#include "base/wide_win.h"

namespace vaq {
namespace {

std::u16string SystemDecode(const std::string& bytes) {
  if (bytes.empty()) return {};
  const int size = static_cast<int>(bytes.size());
  const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
  if (length == 0) return {};
  std::u16string text(static_cast<size_t>(length), u'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), size, AsWide(text.data()), length);
  return text;
}

TEST(Utf8Agreement, CoreDecoderMatchesTheSystem) {
  const std::string inputs[] = {
      "", "plain", std::string("nul\0inside", 10), "\xE5\xAE\x89\xE8\xA3\x85", "\xEF\xBB\xBF" "bom",
      "\xC2\x80", "\xDF\xBF", "\xE0\xA0\x80", "\xEF\xBF\xBF", "\xF0\x90\x80\x80", "\xF4\x8F\xBF\xBF",
      "\xF0\x9F\x98\x80 smile",
      // invalid
      "\xFF\xFE" "a", "\x80", "abc\xE5\xAE", "\xC0\xAF", "\xC1\xBF", "\xE0\x80\xAF", "\xF0\x80\x80\xAF",
      "\xED\xA0\x80", "\xED\xBF\xBF", "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xF8\x88\x80\x80\x80",
      "\xE5" "ab", "a\xC3", "\xC3\x28"};
  for (const std::string& input : inputs) {
    EXPECT_EQ(Utf8ToWide(input), SystemDecode(input)) << testing::PrintToString(input);
  }
}

}  // namespace
}  // namespace vaq
