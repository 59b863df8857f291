#include "app/system_library_win.h"

#include "app/preloaded_libraries_win.h"

// Writable hooks keep MSVC's declaration the same as MinGW's.
#define DELAYIMP_INSECURE_WRITABLE_HOOKS
#include <delayimp.h>

#include <mutex>
#include <string>

namespace vaq {
namespace {

// The libraries that are not KnownDLLs (winhttp, crypt32) are bound on first use, after
// start-up has restricted the search; this hook names them by full system path besides, and
// first loads what they will ask for by name.
FARPROC WINAPI LoadDelayedFromSystem(unsigned notification, PDelayLoadInfo info) {
  if (notification != dliNotePreLoadLibrary) return nullptr;
  static std::once_flag preloaded;
  std::call_once(preloaded, PreloadSystemLibraries, PreloadTime::BeforeNetwork);
  // DLL names in the import table are ASCII.
  const std::string name(info->szDll);
  return reinterpret_cast<FARPROC>(LoadSystemLibrary(std::wstring(name.begin(), name.end()).c_str()));
}

}  // namespace

void RestrictDllSearchToSystem() {
  using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
  const HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
  const auto setDefaultDllDirectories = kernel32 == nullptr ? nullptr
      : reinterpret_cast<SetDefaultDllDirectoriesFunction>(
            reinterpret_cast<void*>(GetProcAddress(kernel32, "SetDefaultDllDirectories")));
  if (setDefaultDllDirectories != nullptr && setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
  SetDllDirectoryW(L"");
}

HMODULE LoadSystemLibrary(const wchar_t* fileName) {
  wchar_t directory[MAX_PATH];
  const UINT length = GetSystemDirectoryW(directory, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  const std::wstring path = std::wstring(directory, length) + L'\\' + fileName;
  // Its dependencies are looked for in its own folder first, in place of the application's.
  return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace vaq

// C linkage comes from its declaration in delayimp.h.
PfnDliHook __pfnDliNotifyHook2 = vaq::LoadDelayedFromSystem;
