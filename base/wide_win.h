#pragma once
// The one place where the core's UTF-16 text meets the Windows API's wchar_t. Both are 16-bit
// units of the same encoding, so pointers are reinterpreted, never transcoded (the Windows
// build uses -fno-strict-aliasing for this).
#include <windows.h>

#include <string>
#include <string_view>

namespace vaq {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide text is UTF-16");

inline const wchar_t* AsWide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }
inline wchar_t* AsWide(char16_t* text) { return reinterpret_cast<wchar_t*>(text); }
inline const wchar_t* AsWide(const std::u16string& text) { return AsWide(text.c_str()); }
inline std::wstring_view AsWideView(std::u16string_view text) { return {AsWide(text.data()), text.size()}; }
inline const char16_t* AsU16(const wchar_t* text) { return reinterpret_cast<const char16_t*>(text); }
inline std::u16string_view AsU16View(const wchar_t* text, size_t length) { return {AsU16(text), length}; }

}  // namespace vaq
