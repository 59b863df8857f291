// Runs under scripts/wine-private-session.sh --without-isrg-root, where the machine ROOT store
// lacks "ISRG Root X1": a request adds it, the next finds it and compares it.
#include <windows.h>
#include <wincrypt.h>

#include <gtest/gtest.h>

#include <vector>

#include "app/handles_win.h"
#include "service/root_certificate.h"
#include "service/service_request_win.h"
#include "tests/win/dev_service_win.h"
#include "tools/machine_root_win.h"

namespace vaq {
namespace {

std::string RootSha1() {
  BYTE sha1[20];
  DWORD size = sizeof(sha1);
  EXPECT_TRUE(CryptHashCertificate(0, CALG_SHA1, 0, kRootCertificate, kRootCertificateSize, sha1, &size));
  return std::string(reinterpret_cast<const char*>(sha1), size);
}

UniqueCertificateStore OpenRoot() {
  return UniqueCertificateStore(
      CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"ROOT"));
}

// The stored encoding of "ISRG Root X1" in the machine's trusted roots, or empty.
std::string StoredRoot() {
  std::string sha1 = RootSha1();
  CRYPT_HASH_BLOB hash{static_cast<DWORD>(sha1.size()), reinterpret_cast<BYTE*>(sha1.data())};
  const UniqueCertificateStore root = OpenRoot();
  const UniqueCertificate found(
      CertFindCertificateInStore(root.Get(), X509_ASN_ENCODING, 0, CERT_FIND_SHA1_HASH, &hash, nullptr));
  if (!found) return {};
  return std::string(reinterpret_cast<const char*>(found.Get()->pbCertEncoded), found.Get()->cbCertEncoded);
}

std::string Sha1(const std::string& encoded) {
  BYTE sha1[20];
  DWORD size = sizeof(sha1);
  EXPECT_TRUE(CryptHashCertificate(0, CALG_SHA1, 0, reinterpret_cast<const BYTE*>(encoded.data()),
                                   static_cast<DWORD>(encoded.size()), sha1, &size));
  return std::string(reinterpret_cast<const char*>(sha1), size);
}

// Removes the registry keys under which Wine may have stored a planted certificate (it keeps
// certificates deleted through the store API), so that later tests start without it.
struct PlantedKeys {
  std::vector<std::string> thumbprints;
  ~PlantedKeys() {
    for (const std::string& thumbprint : thumbprints) {
      std::wstring key = L"Software\\Microsoft\\SystemCertificates\\ROOT\\Certificates\\";
      for (const char b : thumbprint) {
        wchar_t digits[3];
        swprintf(digits, 3, L"%02X", static_cast<unsigned char>(b));
        key += digits;
      }
      RegDeleteKeyW(HKEY_LOCAL_MACHINE, key.c_str());
    }
    EXPECT_EQ(StoredRoot(), "") << "the planted certificate is gone";
  }
};

class RootAdded : public dev_service::ServiceTest {};

// Another certificate stored under the thumbprint of "ISRG Root X1" (its hash property set to
// that thumbprint) must not pass for it.
TEST_F(RootAdded, SameThumbprintWithAnotherEncodingFails) {
  std::string caPath = dev_service::Setting("VAQ_DEV_SERVICE_CA");
  caPath.replace(caPath.find("/trusted/"), 9, "/untrusted/");
  std::wstring windowsPath = L"Z:";
  for (const char c : caPath) windowsPath += c == '/' ? L'\\' : static_cast<wchar_t>(c);
  const std::string other = tools::ReadBinaryFile(windowsPath);
  ASSERT_FALSE(other.empty());
  {
    const UniqueCertificateStore root = OpenRoot();
    PCCERT_CONTEXT added = nullptr;
    ASSERT_TRUE(CertAddEncodedCertificateToStore(root.Get(), X509_ASN_ENCODING,
                                                 reinterpret_cast<const BYTE*>(other.data()),
                                                 static_cast<DWORD>(other.size()),
                                                 CERT_STORE_ADD_REPLACE_EXISTING, &added));
    const UniqueCertificate owner(added);
    std::string sha1 = RootSha1();
    CRYPT_HASH_BLOB hash{static_cast<DWORD>(sha1.size()), reinterpret_cast<BYTE*>(sha1.data())};
    ASSERT_TRUE(CertSetCertificateContextProperty(added, CERT_SHA1_HASH_PROP_ID, 0, &hash));
  }
  const PlantedKeys planted{{RootSha1(), Sha1(other)}};
  ASSERT_EQ(StoredRoot(), other) << "Wine finds the planted certificate by the thumbprint";

  SetupContext context;
  std::string response;
  EXPECT_FALSE(ServiceRequest(context, u"GET", u"/install/bootstrap.ps1", u"", "", response, 4096));
  // The code is whatever the store calls left behind; only the step is fixed.
  const std::u16string head = u"准备 HTTPS 根证书失败（Windows 错误 ";
  EXPECT_EQ(context.failureText.compare(0, head.size(), head), 0);
  EXPECT_TRUE(dev_service::Received().empty());
}

TEST_F(RootAdded, MissingRootIsAddedAndTheRequestProceeds) {
  ASSERT_EQ(StoredRoot(), "") << "the session's ROOT store must start without ISRG Root X1";
  dev_service::SetReply({{"status", 200}, {"body", "ok"}});
  for (int call = 0; call < 2; ++call) {
    SetupContext context;
    std::string response;
    EXPECT_TRUE(ServiceRequest(context, u"GET", u"/install/bootstrap.ps1", u"", "", response, 4096))
        << "call " << call;
    EXPECT_EQ(StoredRoot(), std::string(reinterpret_cast<const char*>(kRootCertificate), kRootCertificateSize));
  }
  EXPECT_EQ(dev_service::Received().size(), 2u);
}

}  // namespace
}  // namespace vaq
