// install_standin.exe <powershell_standin.exe>: puts the PowerShell stand-in where a program of
// its own bitness finds Windows PowerShell in a Wine prefix, replacing Wine's own. It asks the
// system for the folder, so a 32-bit copy in a 64-bit prefix lands in the WOW64 system folder.
// It never writes into the system folder of a real Windows (exit code 3). Exit code 0 on success.
#include <windows.h>

#include <cstdio>
#include <string>

#include "tools/machine_gate_win.h"

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
  std::wstring folder = std::wstring(system, length) + L"\\WindowsPowerShell";
  for (const wchar_t* part : {L"", L"\\v1.0"}) {
    folder += part;
    if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
      std::fwprintf(stderr, L"cannot create %ls (error %lu)\n", folder.c_str(), GetLastError());
      return 1;
    }
  }
  const std::wstring target = folder + L"\\powershell.exe";
  if (!CopyFileW(argv[1], target.c_str(), FALSE)) {
    std::fwprintf(stderr, L"cannot copy %ls to %ls (error %lu)\n", argv[1], target.c_str(), GetLastError());
    return 1;
  }
  return 0;
}
