// trust_ca.exe <certificate.der>: makes a Wine prefix (or a test machine) trust the development
// service's CA. Exit code 0 on success.
#include <cstdio>

#include "tools/machine_root_win.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fwprintf(stderr, L"usage: trust_ca.exe <certificate.der>\n");
    return 2;
  }
  const std::string der = vaq::tools::ReadBinaryFile(argv[1]);
  if (der.empty()) {
    std::fwprintf(stderr, L"cannot read %ls\n", argv[1]);
    return 1;
  }
  if (!vaq::tools::AddToMachineRoot(der)) {
    std::fwprintf(stderr, L"cannot add %ls to the machine's trusted roots (error %lu)\n", argv[1],
                  GetLastError());
    return 1;
  }
  return 0;
}
