#include "base/system_library_win.h"

#include "base/preloaded_libraries_win.h"

// Writable hooks keep MSVC's declaration the same as MinGW's.
#define DELAYIMP_INSECURE_WRITABLE_HOOKS
#include <delayimp.h>

#include <cwchar>

namespace vaq {
namespace {

// Only the network libraries load others by name; the delay-loaded KnownDLLs do not.
bool LoadsLibrariesByName(const char* dll) {
  return lstrcmpiA(dll, "winhttp.dll") == 0 || lstrcmpiA(dll, "crypt32.dll") == 0;
}

// The libraries that are not KnownDLLs (winhttp, crypt32) are bound on first use, after
// start-up has restricted the search; this hook names every delay-loaded library by full system
// path besides, and before the network libraries first loads what they will ask for by name.
BOOL CALLBACK PreloadBeforeNetwork(PINIT_ONCE, PVOID, PVOID*) {
  PreloadSystemLibraries(PreloadTime::BeforeNetwork);
  return TRUE;
}

FARPROC WINAPI LoadDelayedFromSystem(unsigned notification, PDelayLoadInfo info) {
  if (notification != dliNotePreLoadLibrary) return nullptr;
  // Win32's own once: std::call_once would bring pthread threads and std::system_error (with
  // two whole string classes) into the exe.
  static INIT_ONCE preloaded = INIT_ONCE_STATIC_INIT;
  if (LoadsLibrariesByName(info->szDll)) InitOnceExecuteOnce(&preloaded, PreloadBeforeNetwork, nullptr, nullptr);
  // DLL names in the import table are short ASCII.
  wchar_t name[MAX_PATH];
  size_t length = 0;
  for (; info->szDll[length] != '\0'; ++length) {
    if (length + 1 == MAX_PATH) return nullptr;
    name[length] = static_cast<unsigned char>(info->szDll[length]);
  }
  name[length] = L'\0';
  return reinterpret_cast<FARPROC>(LoadSystemLibrary(name));
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
  // A path beyond MAX_PATH could not be loaded anyway.
  wchar_t path[MAX_PATH];
  const UINT length = GetSystemDirectoryW(path, MAX_PATH);
  const size_t nameLength = std::wcslen(fileName);
  if (length == 0 || length + 1 + nameLength >= MAX_PATH) return nullptr;
  path[length] = L'\\';
  std::wmemcpy(path + length + 1, fileName, nameLength + 1);
  // Its dependencies are looked for in its own folder first, in place of the application's.
  return LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace vaq

// C linkage comes from its declaration in delayimp.h.
PfnDliHook __pfnDliNotifyHook2 = vaq::LoadDelayedFromSystem;
