// trust_ca.exe [--remove | --check | --check-distrusted] <certificate.der>
// trust_ca.exe --remove-named <common name>
// Makes a Wine prefix or a test machine trust the development service's CA, takes the trust away
// again, tells whether it is there (--check-distrusted: whether the certificate is in the
// machine's Disallowed store), or removes every trusted root of that name that an interrupted
// run left. A CA confined to localhost and 127.0.0.1 by its name constraints is trusted on any
// machine: it vouches for nothing beyond the machine itself. Any other goes in only where the
// machine may change (tools/common/machine_gate_win.h).
// Exit code 0 on success (the checks: 0 present, 1 not), 2 for bad arguments, 3 when the gate
// refuses.
#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "tools/common/file_bytes_win.h"
#include "tools/common/machine_gate_win.h"
#include "tools/dev_service/machine_store_win.h"

namespace {

namespace store = vaq::machine_store;

int Usage() {
  std::fwprintf(stderr,
                L"usage: trust_ca.exe [--remove | --check | --check-distrusted] <certificate.der>\n"
                L"       trust_ca.exe --remove-named <common name>\n");
  return 2;
}

int RemoveNamed(const wchar_t* commonName) {
  for (const std::string& der : store::FindByCommonName(L"ROOT", commonName)) {
    std::fwprintf(stdout, L"removing a trusted root named %ls\n", commonName);
    store::Remove(L"ROOT", store::Sha1Thumbprint(der));
  }
  if (store::FindByCommonName(L"ROOT", commonName).empty()) return 0;
  std::fwprintf(stderr, L"a trusted root named %ls is still there\n", commonName);
  return 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const wchar_t* mode = argc == 3 ? argv[1] : L"";
  const bool known = argc == 2 || std::wcscmp(mode, L"--remove") == 0 || std::wcscmp(mode, L"--check") == 0 ||
                     std::wcscmp(mode, L"--check-distrusted") == 0 || std::wcscmp(mode, L"--remove-named") == 0;
  if (argc < 2 || argc > 3 || !known) return Usage();
  if (std::wcscmp(mode, L"--remove-named") == 0) return RemoveNamed(argv[2]);
  const wchar_t* path = argv[argc - 1];
  const std::string der = vaq::tools::ReadBinaryFile(path);
  if (der.empty()) {
    std::fwprintf(stderr, L"cannot read %ls\n", path);
    return 1;
  }
  const std::string thumbprint = store::Sha1Thumbprint(der);
  if (std::wcscmp(mode, L"--check") == 0) return store::Find(L"ROOT", thumbprint) == der ? 0 : 1;
  if (std::wcscmp(mode, L"--check-distrusted") == 0) return store::Find(L"Disallowed", thumbprint) == der ? 0 : 1;
  if (std::wcscmp(mode, L"--remove") == 0) {
    if (store::Remove(L"ROOT", thumbprint)) return 0;
    std::fwprintf(stderr, L"%ls is still among the machine's trusted roots\n", path);
    return 1;
  }
  if (!store::ConfinedToLocalhost(der) && !vaq::tools::MayChangeMachine()) {
    std::fwprintf(stderr,
                  L"%ls is not confined to localhost; it is trusted only under Wine or on a disposable machine\n",
                  path);
    return 3;
  }
  if (!store::Add(L"ROOT", der)) {
    std::fwprintf(stderr, L"cannot add %ls to the machine's trusted roots (error %lu)\n", path, GetLastError());
    return 1;
  }
  return 0;
}
