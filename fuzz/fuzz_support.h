#pragma once
// Shared by the fuzz targets: turning fuzzer bytes into the core's text types, and checks that
// stay on in release builds.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#define FUZZ_CHECK(condition)                                                  \
  do {                                                                         \
    if (!(condition)) {                                                        \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                            \
    }                                                                          \
  } while (0)

namespace vaq::fuzz {

// The fuzzer's bytes as UTF-16 code units (little-endian; an odd last byte is dropped), held in
// a heap block of exactly that many units: no closing NUL or spare capacity may hide a read past
// the end from ASan. Byte input needs no copy: libFuzzer's own buffer is already exact.
class ExactWide {
 public:
  ExactWide(const uint8_t* data, size_t size) : size_(size / 2), units_(new char16_t[size / 2]) {
    for (size_t i = 0; i < size_; ++i) {
      units_[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    }
  }
  std::u16string_view view() const { return {units_.get(), size_}; }

 private:
  size_t size_;
  std::unique_ptr<char16_t[]> units_;
};

inline std::string_view ExactBytes(const uint8_t* data, size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

inline bool IsHex(char16_t c) {
  return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// True when text holds 32 or more hex digits in a row.
inline bool HasCredentialRun(std::u16string_view text) {
  size_t run = 0;
  for (char16_t c : text) {
    run = IsHex(c) ? run + 1 : 0;
    if (run >= 32) return true;
  }
  return false;
}

}  // namespace vaq::fuzz
