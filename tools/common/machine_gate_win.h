#pragma once
// Whether this process runs under Wine, and whether a test may change the machine it runs on.
// Under Wine the machine is a throwaway prefix. On Windows only a run told that the machine is
// disposable (VAQ_DISPOSABLE_MACHINE=1, set by the kit's --disposable) may change its system
// folder, machine certificate stores or per-user settings. VAQ_PRETEND_NOT_WINE=1 makes a run
// under Wine take the road of a real machine, so that the gate itself can be tested.
#include <windows.h>

#include <cstdlib>
#include <cstring>

namespace vaq::tools {

inline bool SettingIsOne(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && std::strcmp(value, "1") == 0;
}

// Wine itself, for what its DLLs do differently from Windows'.
inline bool WineRuns() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// Whether the machine is a Wine prefix, as far as changing it goes.
inline bool UnderWine() { return WineRuns() && !SettingIsOne("VAQ_PRETEND_NOT_WINE"); }

inline bool MayChangeMachine() { return UnderWine() || SettingIsOne("VAQ_DISPOSABLE_MACHINE"); }

}  // namespace vaq::tools
