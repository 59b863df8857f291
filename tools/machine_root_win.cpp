#include "tools/machine_root_win.h"

#include "app/handles_win.h"

namespace vaq::tools {

bool AddToMachineRoot(const std::string& der) {
  const UniqueCertificateStore root(
      CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"ROOT"));
  return root && CertAddEncodedCertificateToStore(root.Get(), X509_ASN_ENCODING,
                                                  reinterpret_cast<const BYTE*>(der.data()),
                                                  static_cast<DWORD>(der.size()),
                                                  CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
}

std::string ReadBinaryFile(const std::wstring& path) {
  const UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return {};
  std::string bytes;
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(file.Get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) {
    bytes.append(buffer, read);
  }
  return bytes;
}

}  // namespace vaq::tools
