// Utf8ToWide is all or nothing and agrees with a reference decoder written from the table of
// well-formed byte sequences, independently of the product's.
#include <string>
#include <string_view>

#include "base/failure_text.h"
#include "fuzz/fuzz_support.h"

namespace {

struct Range {
  uint8_t low, high;
};

// Well-formed UTF-8: for each lead byte range, the allowed range of each following byte.
bool ReferenceDecode(std::string_view bytes, std::u16string& out) {
  out.clear();
  size_t i = 0;
  while (i < bytes.size()) {
    const uint8_t b0 = static_cast<uint8_t>(bytes[i]);
    Range next[3];
    int count;
    uint32_t cp;
    if (b0 <= 0x7F) { out.push_back(b0); ++i; continue; }
    else if (b0 >= 0xC2 && b0 <= 0xDF) { count = 1; next[0] = {0x80, 0xBF}; cp = b0 & 0x1F; }
    else if (b0 == 0xE0) { count = 2; next[0] = {0xA0, 0xBF}; next[1] = {0x80, 0xBF}; cp = 0; }
    else if ((b0 >= 0xE1 && b0 <= 0xEC) || b0 == 0xEE || b0 == 0xEF) { count = 2; next[0] = {0x80, 0xBF}; next[1] = {0x80, 0xBF}; cp = b0 & 0x0F; }
    else if (b0 == 0xED) { count = 2; next[0] = {0x80, 0x9F}; next[1] = {0x80, 0xBF}; cp = 0x0D; }
    else if (b0 == 0xF0) { count = 3; next[0] = {0x90, 0xBF}; next[1] = next[2] = {0x80, 0xBF}; cp = 0; }
    else if (b0 >= 0xF1 && b0 <= 0xF3) { count = 3; next[0] = {0x80, 0xBF}; next[1] = next[2] = {0x80, 0xBF}; cp = b0 & 0x07; }
    else if (b0 == 0xF4) { count = 3; next[0] = {0x80, 0x8F}; next[1] = next[2] = {0x80, 0xBF}; cp = 4; }
    else return false;
    if (bytes.size() - i - 1 < static_cast<size_t>(count)) return false;
    for (int k = 0; k < count; ++k) {
      const uint8_t b = static_cast<uint8_t>(bytes[i + 1 + k]);
      if (b < next[k].low || b > next[k].high) return false;
      cp = (cp << 6) | (b & 0x3F);
    }
    if (cp >= 0x10000) {
      out.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += 1 + count;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes = vaq::fuzz::ExactBytes(data, size);
  std::u16string expected;
  const bool valid = ReferenceDecode(bytes, expected);
  const std::u16string got = vaq::Utf8ToWide(bytes);
  FUZZ_CHECK(got == (valid ? expected : std::u16string()));
  return 0;
}
