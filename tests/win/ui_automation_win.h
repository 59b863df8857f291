#pragma once
// The page's object as UI Automation meets it: the provider UI Automation makes of an MSAA object,
// read as its clients read it. MinGW declares neither UiaProviderFromIAccessible nor an import
// library for it, and Windows 7 lacks it: it is looked up at run time.
#include <windows.h>
#include <oleacc.h>
#include <uiautomationclient.h>
#include <uiautomationcore.h>

#include <optional>
#include <string>

namespace vaq {

// UIA_PFIA_DEFAULT, which MinGW's headers lack.
constexpr DWORD kUiaPfiaDefault = 0;

using UiaProviderFromIAccessibleFunction = HRESULT(WINAPI*)(IAccessible*, long, DWORD, IRawElementProviderSimple**);

// Null where the system has none.
inline UiaProviderFromIAccessibleFunction UiaProviderFromIAccessibleOrNull() {
  const HMODULE core = LoadLibraryExW(L"uiautomationcore.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (core == nullptr) return nullptr;
  return reinterpret_cast<UiaProviderFromIAccessibleFunction>(
      reinterpret_cast<void*>(GetProcAddress(core, "UiaProviderFromIAccessible")));
}

// A text property as a UI Automation client reads it; nullopt when the provider gives none.
inline std::optional<std::wstring> UiaText(IRawElementProviderSimple* provider, PROPERTYID property) {
  VARIANT value;
  VariantInit(&value);
  std::optional<std::wstring> text;
  if (SUCCEEDED(provider->GetPropertyValue(property, &value)) && value.vt == VT_BSTR) {
    text = std::wstring(value.bstrVal, SysStringLen(value.bstrVal));
  }
  VariantClear(&value);
  return text;
}

}  // namespace vaq
