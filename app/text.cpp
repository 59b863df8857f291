#include "app/text.h"

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

void SecureWipe(void* data, size_t size) {
  volatile unsigned char* p = static_cast<volatile unsigned char*>(data);
  while (size--) *p++ = 0;
}

}  // namespace vaq
