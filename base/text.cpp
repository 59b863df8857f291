#include "base/text.h"

#include <algorithm>

namespace vaq {

std::u16string DecimalText(uint32_t value) {
  char16_t digits[10];
  size_t n = 0;
  do {
    digits[n++] = static_cast<char16_t>(u'0' + value % 10);
    value /= 10;
  } while (value != 0);
  std::u16string text;
  while (n > 0) text.push_back(digits[--n]);
  return text;
}

std::u16string WidenAscii(std::string_view ascii) {
  return std::u16string(ascii.begin(), ascii.end());
}

std::u16string WithCrLfBreaks(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size() + text.size() / 8);
  size_t i = 0;
  while (i < text.size()) {
    // CRs running into an LF are part of its break (CR CR LF is the EDIT's soft-break mark).
    const size_t end = std::min(text.find_first_not_of(u'\r', i), text.size());
    if (end < text.size() && text[end] == u'\n') {
      out += u"\r\n";
      i = end + 1;
    } else if (end > i) {
      out.append(text.substr(i, end - i));
      i = end;
    } else {
      out.push_back(text[i++]);
    }
  }
  return out;
}

void SecureWipe(void* data, size_t size) {
  volatile unsigned char* p = static_cast<volatile unsigned char*>(data);
  while (size--) *p++ = 0;
}

}  // namespace vaq
