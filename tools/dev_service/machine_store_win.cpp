#include "tools/dev_service/machine_store_win.h"

#include <windows.h>
#include <wincrypt.h>

#include <cstring>
#include <cwchar>

#include "base/handles_win.h"
#include "service/root_certificate.h"

namespace vaq::machine_store {
namespace {

UniqueCertificateStore Open(const wchar_t* storeName) {
  return UniqueCertificateStore(
      CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, storeName));
}

const BYTE* Bytes(const std::string& bytes) { return reinterpret_cast<const BYTE*>(bytes.data()); }

}  // namespace

std::string RootEncoding() {
  return std::string(reinterpret_cast<const char*>(kRootCertificate), kRootCertificateSize);
}

std::string Sha1Thumbprint(const std::string& encoded) {
  BYTE sha1[20];
  DWORD size = sizeof(sha1);
  if (!CryptHashCertificate(0, CALG_SHA1, 0, Bytes(encoded), static_cast<DWORD>(encoded.size()), sha1,
                            &size)) {
    return {};
  }
  return std::string(reinterpret_cast<const char*>(sha1), size);
}

std::string Find(const wchar_t* storeName, const std::string& thumbprint) {
  const UniqueCertificateStore store = Open(storeName);
  CRYPT_HASH_BLOB hash{static_cast<DWORD>(thumbprint.size()), const_cast<BYTE*>(Bytes(thumbprint))};
  const UniqueCertificate found(
      CertFindCertificateInStore(store.Get(), X509_ASN_ENCODING, 0, CERT_FIND_SHA1_HASH, &hash, nullptr));
  if (!found) return {};
  return std::string(reinterpret_cast<const char*>(found.Get()->pbCertEncoded), found.Get()->cbCertEncoded);
}

std::vector<std::string> FindByCommonName(const wchar_t* storeName, const wchar_t* commonName) {
  std::vector<std::string> found;
  const UniqueCertificateStore store = Open(storeName);
  if (!store) return found;
  for (PCCERT_CONTEXT certificate = CertEnumCertificatesInStore(store.Get(), nullptr); certificate != nullptr;
       certificate = CertEnumCertificatesInStore(store.Get(), certificate)) {
    wchar_t name[256] = {};
    CertGetNameStringW(certificate, CERT_NAME_ATTR_TYPE, 0, const_cast<char*>(szOID_COMMON_NAME), name, 256);
    if (std::wcscmp(name, commonName) == 0) {
      found.emplace_back(reinterpret_cast<const char*>(certificate->pbCertEncoded), certificate->cbCertEncoded);
    }
  }
  return found;
}

bool ConfinedToLocalhost(const std::string& encoded) {
  const UniqueCertificate certificate(
      CertCreateCertificateContext(X509_ASN_ENCODING, Bytes(encoded), static_cast<DWORD>(encoded.size())));
  if (!certificate) return false;
  const CERT_INFO* info = certificate.Get()->pCertInfo;
  const CERT_EXTENSION* extension =
      CertFindExtension(szOID_NAME_CONSTRAINTS, info->cExtension, info->rgExtension);
  if (extension == nullptr) return false;
  CERT_NAME_CONSTRAINTS_INFO* constraints = nullptr;
  DWORD size = 0;
  if (!CryptDecodeObjectEx(X509_ASN_ENCODING, X509_NAME_CONSTRAINTS, extension->Value.pbData,
                           extension->Value.cbData, CRYPT_DECODE_ALLOC_FLAG, nullptr, &constraints, &size)) {
    return false;
  }
  const UniqueLocal owner(static_cast<HLOCAL>(constraints));
  static const BYTE kLoopback[] = {127, 0, 0, 1, 255, 255, 255, 255};
  bool confined = constraints->cPermittedSubtree > 0;
  for (DWORD i = 0; i < constraints->cPermittedSubtree; ++i) {
    const CERT_ALT_NAME_ENTRY& name = constraints->rgPermittedSubtree[i].Base;
    const bool localhost = name.dwAltNameChoice == CERT_ALT_NAME_DNS_NAME && std::wcscmp(name.pwszDNSName, L"localhost") == 0;
    const bool loopback = name.dwAltNameChoice == CERT_ALT_NAME_IP_ADDRESS && name.IPAddress.cbData == sizeof(kLoopback) &&
                          std::memcmp(name.IPAddress.pbData, kLoopback, sizeof(kLoopback)) == 0;
    confined = confined && (localhost || loopback);
  }
  return confined;
}

bool Add(const wchar_t* storeName, const std::string& encoded) {
  const UniqueCertificateStore store = Open(storeName);
  return store && CertAddEncodedCertificateToStore(store.Get(), X509_ASN_ENCODING, Bytes(encoded),
                                                   static_cast<DWORD>(encoded.size()),
                                                   CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
}

bool Remove(const wchar_t* storeName, const std::string& thumbprint) {
  {
    const UniqueCertificateStore store = Open(storeName);
    CRYPT_HASH_BLOB hash{static_cast<DWORD>(thumbprint.size()), const_cast<BYTE*>(Bytes(thumbprint))};
    // The delete call frees the context it is given; a bound keeps a store that will not let
    // go from holding the run.
    for (int copy = 0; copy < 8; ++copy) {
      const PCCERT_CONTEXT found =
          CertFindCertificateInStore(store.Get(), X509_ASN_ENCODING, 0, CERT_FIND_SHA1_HASH, &hash, nullptr);
      if (found == nullptr || !CertDeleteCertificateFromStore(found)) break;
    }
  }
  std::wstring key = std::wstring(L"Software\\Microsoft\\SystemCertificates\\") + storeName + L"\\Certificates\\";
  for (const char b : thumbprint) {
    wchar_t digits[3];
    std::swprintf(digits, 3, L"%02X", static_cast<unsigned char>(b));
    key += digits;
  }
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, key.c_str());
  return Find(storeName, thumbprint).empty();
}

}  // namespace vaq::machine_store
