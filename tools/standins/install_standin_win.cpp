// install_standin.exe <powershell_standin.exe>: puts the PowerShell stand-in where a program of
// its own bitness finds Windows PowerShell in a Wine prefix, replacing Wine's own. It asks the
// system for the folder, so a 32-bit copy in a 64-bit prefix lands in the WOW64 system folder.
// It never writes into the system folder of a real Windows (exit code 3). Exit code 0 on success.
#include <windows.h>

#include <cstdio>
#include <string>

#include "base/wide_win.h"
#include "install/powershell_path.h"
#include "tools/common/machine_gate_win.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fwprintf(stderr, L"usage: install_standin.exe <powershell_standin.exe>\n");
    return 2;
  }
  if (!vaq::tools::UnderWine()) {
    std::fwprintf(stderr, L"not under Wine: refusing to write into this machine's system folder\n");
    return 3;
  }
  wchar_t system[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryW(system, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) {
    std::fwprintf(stderr, L"no system directory (error %lu)\n", GetLastError());
    return 1;
  }
  const std::wstring target = std::wstring(system, length).append(vaq::AsWideView(vaq::kPowerShellTail));
  // Each folder of the tail, the system directory's own excluded.
  for (size_t slash = target.find(L'\\', length + 1); slash != std::wstring::npos; slash = target.find(L'\\', slash + 1)) {
    const std::wstring folder = target.substr(0, slash);
    if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
      std::fwprintf(stderr, L"cannot create %ls (error %lu)\n", folder.c_str(), GetLastError());
      return 1;
    }
  }
  if (!CopyFileW(argv[1], target.c_str(), FALSE)) {
    std::fwprintf(stderr, L"cannot copy %ls to %ls (error %lu)\n", argv[1], target.c_str(), GetLastError());
    return 1;
  }
  return 0;
}
