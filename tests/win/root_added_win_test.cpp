// Runs under scripts/wine-private-session.sh --without-isrg-root, where the machine ROOT store
// lacks "ISRG Root X1", or on a disposable Windows: a request adds it, the next finds it and
// compares it.
#include <windows.h>
#include <wincrypt.h>

#include <gtest/gtest.h>

#include "base/handles_win.h"
#include "service/service_request_win.h"
#include "tests/win/dev_service_win.h"
#include "tests/win/machine_gate_test_win.h"
#include "tools/dev_service/machine_store_win.h"

namespace vaq {
namespace {

std::string StoredRoot() {
  return machine_store::Find(L"ROOT", machine_store::Sha1Thumbprint(machine_store::RootEncoding()));
}

// Removes a planted certificate under both thumbprints Wine may have filed it, so that later
// tests start without it.
struct Planted {
  std::string encoding;
  ~Planted() {
    machine_store::Remove(L"ROOT", machine_store::Sha1Thumbprint(machine_store::RootEncoding()));
    machine_store::Remove(L"ROOT", machine_store::Sha1Thumbprint(encoding));
    EXPECT_EQ(StoredRoot(), "") << "the planted certificate is gone";
  }
};

// Both tests take "ISRG Root X1" out of the machine ROOT store.
class RootAdded : public dev_service::ServiceTest {
 protected:
  void SetUp() override {
    VAQ_SKIP_UNLESS_MACHINE_MAY_CHANGE("the machine's ROOT certificate store");
    ServiceTest::SetUp();
  }
};

// Another certificate stored under the thumbprint of "ISRG Root X1" (its hash property set to
// that thumbprint) must not pass for it.
TEST_F(RootAdded, SameThumbprintWithAnotherEncodingFails) {
  const Planted planted{dev_service::ReadFileNamedBy("VAQ_DEV_SERVICE_UNTRUSTED_CA")};
  ASSERT_FALSE(planted.encoding.empty());
  {
    const UniqueCertificateStore root(
        CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"ROOT"));
    PCCERT_CONTEXT added = nullptr;
    ASSERT_TRUE(CertAddEncodedCertificateToStore(
        root.Get(), X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(planted.encoding.data()),
        static_cast<DWORD>(planted.encoding.size()), CERT_STORE_ADD_REPLACE_EXISTING, &added));
    const UniqueCertificate owner(added);
    std::string thumbprint = machine_store::Sha1Thumbprint(machine_store::RootEncoding());
    CRYPT_HASH_BLOB hash{static_cast<DWORD>(thumbprint.size()), reinterpret_cast<BYTE*>(thumbprint.data())};
    ASSERT_TRUE(CertSetCertificateContextProperty(added, CERT_SHA1_HASH_PROP_ID, 0, &hash));
  }
  ASSERT_EQ(StoredRoot(), planted.encoding) << "Wine finds the planted certificate by the thumbprint";

  SetupContext context;
  SecretBytes response;
  EXPECT_FALSE(ServiceRequest(context, u"GET", u"/install/bootstrap.ps1", u"", "", response, 4096));
  // The code is whatever the store calls left behind; only the step is fixed.
  const std::u16string head = u"准备 HTTPS 根证书失败（Windows 错误 ";
  EXPECT_EQ(context.failureText.compare(0, head.size(), head), 0);
  EXPECT_TRUE(dev_service::Received().empty());
}

TEST_F(RootAdded, MissingRootIsAddedAndTheRequestProceeds) {
  // Under Wine the session's host CA bundle already lacks it; a disposable Windows loses it here.
  ASSERT_TRUE(machine_store::Remove(L"ROOT", machine_store::Sha1Thumbprint(machine_store::RootEncoding())))
      << "the ROOT store must start without ISRG Root X1";
  dev_service::SetReply({{"status", 200}, {"body", "ok"}});
  for (int call = 0; call < 2; ++call) {
    SetupContext context;
    SecretBytes response;
    EXPECT_TRUE(ServiceRequest(context, u"GET", u"/install/bootstrap.ps1", u"", "", response, 4096))
        << "call " << call;
    EXPECT_EQ(StoredRoot(), machine_store::RootEncoding());
  }
  EXPECT_EQ(dev_service::Received().size(), 2u);
}

}  // namespace
}  // namespace vaq
