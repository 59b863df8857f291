#include "tools/machine_store_win.h"

#include <windows.h>
#include <wincrypt.h>

#include <cwchar>

#include "app/handles_win.h"
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
