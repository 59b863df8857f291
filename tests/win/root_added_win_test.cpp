// Runs under scripts/without-isrg-root.sh, where the machine ROOT store lacks "ISRG Root X1":
// the first request adds it, the second finds it and compares it.
#include <windows.h>
#include <wincrypt.h>

#include <gtest/gtest.h>

#include "app/handles_win.h"
#include "service/root_certificate.h"
#include "service/service_request_win.h"
#include "tests/win/dev_service_win.h"

namespace vaq {
namespace {

// The stored encoding of "ISRG Root X1" in the machine's trusted roots, or empty.
std::string StoredRoot() {
  BYTE sha1[20];
  DWORD size = sizeof(sha1);
  EXPECT_TRUE(CryptHashCertificate(0, CALG_SHA1, 0, kRootCertificate, kRootCertificateSize, sha1, &size));
  const UniqueCertificateStore root(
      CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"ROOT"));
  CRYPT_HASH_BLOB hash{size, sha1};
  const UniqueCertificate found(
      CertFindCertificateInStore(root.Get(), X509_ASN_ENCODING, 0, CERT_FIND_SHA1_HASH, &hash, nullptr));
  if (!found) return {};
  return std::string(reinterpret_cast<const char*>(found.Get()->pbCertEncoded), found.Get()->cbCertEncoded);
}

class RootAdded : public dev_service::ServiceTest {};

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
