#pragma once
// Where this process's system DLLs come from. Under WOW64 Windows names the 32-bit modules by
// their real folder (SysWOW64) while GetSystemDirectoryW still says System32, so a module's
// folder is compared with that of kernel32, which the loader maps from the system's own folder.
#include <windows.h>

#include <string>

namespace vaq::test {

inline std::wstring FolderOf(HMODULE module) {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
  const std::wstring full(path, length < MAX_PATH ? length : 0);
  return full.substr(0, full.find_last_of(L'\\'));
}

inline bool FromSystemFolder(HMODULE module) {
  const std::wstring folder = FolderOf(module);
  return !folder.empty() && _wcsicmp(folder.c_str(), FolderOf(GetModuleHandleW(L"kernel32.dll")).c_str()) == 0;
}

}  // namespace vaq::test
