#pragma once
// Shared by the fuzz targets: turning fuzzer bytes into the core's text types, and checks that
// stay on in release builds.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#define FUZZ_CHECK(condition)                                                  \
  do {                                                                         \
    if (!(condition)) {                                                        \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                            \
    }                                                                          \
  } while (0)

namespace vaq::fuzz {

// Pairs of bytes as UTF-16 code units (little-endian); an odd last byte is dropped.
inline std::u16string WideFromBytes(const uint8_t* data, size_t size) {
  std::u16string text;
  text.reserve(size / 2);
  for (size_t i = 0; i + 1 < size; i += 2) {
    text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
  }
  return text;
}

inline bool IsHex(char16_t c) {
  return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// True when text holds 32 or more hex digits in a row.
inline bool HasCredentialRun(const std::u16string& text) {
  size_t run = 0;
  for (char16_t c : text) {
    run = IsHex(c) ? run + 1 : 0;
    if (run >= 32) return true;
  }
  return false;
}

}  // namespace vaq::fuzz
