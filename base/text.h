#pragma once
// Small helpers over the core's text types: wide text is UTF-16, byte strings are std::string.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>

namespace vaq {

constexpr bool IsLowerHexDigit(char16_t c) {
  return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f');
}

constexpr bool IsDecimalDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// An install grant: exactly 64 characters, each one of "0123456789abcdef".
constexpr size_t kInstallGrantLength = 64;
template <typename Char>
constexpr bool IsInstallGrant(std::basic_string_view<Char> text) {
  if (text.size() != kInstallGrantLength) return false;
  for (const Char c : text) {
    if (!IsLowerHexDigit(static_cast<std::make_unsigned_t<Char>>(c))) return false;
  }
  return true;
}

// Decimal digits of an unsigned number, as wide text.
std::u16string DecimalText(uint32_t value);

// ASCII text widened unit by unit (for the program's own fixed ASCII texts and the grant).
std::u16string WidenAscii(std::string_view ascii);

// The text with every line break written as CR LF, the only break a Windows multi-line EDIT
// knows by default: a bare LF gains a CR, a CR LF (or CRs running into an LF) is one break.
std::u16string WithCrLfBreaks(std::u16string_view text);

// Overwrites memory in a way the optimiser cannot remove, for buffers that held a secret.
void SecureWipe(void* data, size_t size);

}  // namespace vaq
