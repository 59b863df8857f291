#pragma once
// Wide text as UTF-8, as the development tools write it into files and reports.
#include <windows.h>

#include <string>
#include <string_view>

namespace vaq::tools {

inline std::string Utf8(std::wstring_view text) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), length, &out[0], size, nullptr, nullptr);
  return out;
}

}  // namespace vaq::tools
