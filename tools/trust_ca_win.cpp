// trust_ca.exe [--remove | --check] <certificate.der>: makes a Wine prefix or a test machine
// trust the development service's CA, takes the trust away again, or tells whether it is there.
// Exit code 0 on success (--check: 0 trusted, 1 not).
#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "tools/file_bytes_win.h"
#include "tools/machine_store_win.h"

int wmain(int argc, wchar_t** argv) {
  const wchar_t* mode = argc == 3 ? argv[1] : L"";
  if (argc < 2 || argc > 3 || (argc == 3 && std::wcscmp(mode, L"--remove") != 0 && std::wcscmp(mode, L"--check") != 0)) {
    std::fwprintf(stderr, L"usage: trust_ca.exe [--remove | --check] <certificate.der>\n");
    return 2;
  }
  const wchar_t* path = argv[argc - 1];
  const std::string der = vaq::tools::ReadBinaryFile(path);
  if (der.empty()) {
    std::fwprintf(stderr, L"cannot read %ls\n", path);
    return 1;
  }
  namespace store = vaq::machine_store;
  const std::string thumbprint = store::Sha1Thumbprint(der);
  if (std::wcscmp(mode, L"--check") == 0) return store::Find(L"ROOT", thumbprint) == der ? 0 : 1;
  if (std::wcscmp(mode, L"--remove") == 0) {
    if (store::Remove(L"ROOT", thumbprint)) return 0;
    std::fwprintf(stderr, L"%ls is still among the machine's trusted roots\n", path);
    return 1;
  }
  if (!store::Add(L"ROOT", der)) {
    std::fwprintf(stderr, L"cannot add %ls to the machine's trusted roots (error %lu)\n", path, GetLastError());
    return 1;
  }
  return 0;
}
