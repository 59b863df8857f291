#pragma once
// Bytes as upper-case hex text: how the PowerShell stand-in records a script and how the tests
// write the bytes it is to put in error.txt.
#include <string>

namespace vaq::tools {

inline std::string Hex(const std::string& bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    out.push_back(digits[c >> 4]);
    out.push_back(digits[c & 15]);
  }
  return out;
}

}  // namespace vaq::tools
