// ServiceRequest with real WinHTTP and CryptoAPI against the development service over TLS.
#include "service/service_request_win.h"

#include <windows.h>
#include <wincrypt.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "base/handles_win.h"
#include "service/root_certificate.h"
#include "tests/win/dev_service_win.h"
#include "tests/win/machine_gate_test_win.h"
#include "tools/dev_service/machine_store_win.h"

namespace vaq {
namespace {

using dev_service::Received;
using dev_service::SetReply;
using nlohmann::json;

struct Outcome {
  bool ok;
  SecretBytes response;
  std::u16string failureText;
};

Outcome Request(std::u16string_view verb, std::u16string_view path, std::u16string_view headers,
                const std::string& body, uint32_t limit,
                LengthPromise lengthPromise = LengthPromise::Optional) {
  SetupContext context;
  Outcome outcome;
  outcome.ok = ServiceRequest(context, verb, path, headers, body, outcome.response, limit, lengthPromise);
  outcome.failureText = context.failureText;
  return outcome;
}

Outcome Authorize(uint32_t limit = 4096, LengthPromise lengthPromise = LengthPromise::Optional) {
  return Request(u"POST", u"/install/windows/authorize", u"Content-Type: application/json\r\n",
                 "{\"code\":\"4711\"}", limit, lengthPromise);
}

std::string Narrow(const std::u16string& text) {
  std::string narrow;
  for (const char16_t c : text) narrow += c < 0x80 ? static_cast<char>(c) : '?';
  return narrow;
}

bool StartsWith(const std::u16string& text, std::u16string_view head) {
  return text.compare(0, head.size(), head) == 0;
}

// Header lines as the server received them; their order is the transport's choice.
std::vector<std::string> SortedLines(std::vector<std::string> lines) {
  std::sort(lines.begin(), lines.end());
  return lines;
}
std::vector<std::string> SortedHeaderLines(const json& request) {
  return SortedLines(request["header_lines"].get<std::vector<std::string>>());
}

class ServiceRequestWin : public dev_service::ServiceTest {};

TEST_F(ServiceRequestWin, BodyAllowancesAndStatuses) {
  const std::u16string tooLarge = u"安装服务返回的内容超出允许大小，请联系管理员。";
  const std::u16string general = u"服务器未能提供安装文件，请联系管理员。";
  const struct {
    json reply;
    uint32_t limit;
    bool ok;
    std::u16string text;
  } cases[] = {
      {{{"status", 200}, {"body_size", 4096}}, 4096, true, u""},
      {{{"status", 200}, {"body_size", 4097}}, 4096, false, tooLarge},
      {{{"status", 200}, {"body_size", 20000}}, 20000, true, u""},
      {{{"status", 403}, {"body_size", 16384}}, 4096, false,
       u"安装授权无效或已过期，请使用新的 4 位安装授权码。（HTTP 403）"},
      {{{"status", 403}, {"body_size", 16385}}, 4096, false, tooLarge},
      {{{"status", 200}, {"body", ""}}, 4096, false, u"安装服务返回了空响应，请稍后重试。"},
      {{{"status", 201}, {"body", "{\"grant\":\"x\"}"}}, 4096, false, general + u"（HTTP 201）"},
      {{{"status", 204}}, 4096, false, general + u"（HTTP 204）"},
      {{{"status", 302}, {"headers", {{"Location", "https://localhost/install/windows/authorize"}}}},
       4096, false, general + u"（HTTP 302）"},
      {{{"status", 503}, {"body", "{\"error\":\"维护中\"}"}}, 4096, false, u"维护中（HTTP 503）"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reply.dump() + " limit " + std::to_string(c.limit));
    dev_service::ClearReceived();
    SetReply(c.reply);
    const Outcome outcome = Authorize(c.limit);
    EXPECT_EQ(outcome.ok, c.ok);
    EXPECT_EQ(outcome.failureText, c.text);
    if (c.ok) {
      EXPECT_EQ(outcome.response, std::string(c.reply["body_size"].get<size_t>(), 'x'));
    }
    EXPECT_EQ(Received().size(), 1u) << "one request, no redirect followed";
  }
}

// The Windows error code a failure text names, or "none" when the request passed.
std::string ErrorCodeOf(const Outcome& outcome) {
  if (outcome.ok) return "none";
  const std::u16string head = u"Windows 错误 ";
  const size_t at = outcome.failureText.find(head);
  if (at == std::u16string::npos) return "?";
  std::string code;
  for (size_t i = at + head.size(); i < outcome.failureText.size() && outcome.failureText[i] >= u'0' &&
                                    outcome.failureText[i] <= u'9';
       ++i) {
    code += static_cast<char>(outcome.failureText[i]);
  }
  return code;
}

// A connection that ends early must never pass for a whole body, whatever WinHTTP makes of it:
// a Content-Length is checked, chunks are WinHTTP's to check, and where the body must be whole a
// reply that only the connection's close ends is refused.
TEST_F(ServiceRequestWin, ABodyThatMayBeCutIsAFailedRead) {
  const std::u16string cut = u"读取安装下载内容失败（Windows 错误 12030）";
  const std::u16string refused = u"安装授权无效或已过期，请使用新的 4 位安装授权码。（HTTP 403）";
  constexpr LengthPromise optional = LengthPromise::Optional;
  constexpr LengthPromise required = LengthPromise::Required;
  const json whole = {{"status", 200}, {"body_size", 4096}};
  const json chunked = {{"status", 200}, {"body_size", 4096}, {"framing", "chunked"}};
  const json unframed = {{"status", 200}, {"body_size", 4096}, {"framing", "close"}};
  struct Case {
    json reply;
    LengthPromise rule;
    std::u16string failure;  // how the text begins; empty when the whole body passes
  };
  // What WinHTTP reports for a cut body goes into the test's report (the kit's summary).
  struct Observed {
    const char* property;
    json reply;
  };
  const Observed observed[] = {
      {"winhttp_error_cut_content_length", {{"status", 200}, {"body_size", 4096}, {"cut_after", 60}}},
      {"winhttp_error_cut_chunked", {{"status", 200}, {"body_size", 4096}, {"framing", "chunked"}, {"cut_after", 3000}}},
  };
  std::vector<Case> cases = {
      {whole, required, u""},
      {{{"status", 200}, {"body_size", 4096}, {"cut_after", 60}}, optional, cut},
      {{{"status", 200}, {"body_size", 4096}, {"cut_after", 0}}, required, cut},
      {{{"status", 403}, {"body_size", 4096}, {"cut_after", 60}}, optional, refused},
      {chunked, optional, u""},
      {chunked, required, u""},
      {unframed, optional, u""},
      {unframed, required, cut},
      // Chunks under a coding list that WinHTTP may hand over undone, up to the close.
      {{{"status", 200}, {"body_size", 4096}, {"framing", "chunked"}, {"transfer_encoding", "identity, chunked"}},
       required, cut},
  };
  // Wine's WinHTTP ends a chunked body cut before its last chunk as if it were whole; Windows
  // fails the read.
  if (!tools::WineRuns()) cases.push_back({observed[1].reply, required, u"读取安装下载内容失败（Windows 错误 "});
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reply.dump() + (c.rule == required ? " required" : " optional"));
    SetReply(c.reply);
    const Outcome outcome = Authorize(1048576, c.rule);
    EXPECT_EQ(outcome.ok, c.failure.empty()) << Narrow(outcome.failureText);
    if (c.failure.empty()) {
      EXPECT_EQ(outcome.response, std::string(4096, 'x'));
    } else {
      EXPECT_EQ(outcome.failureText.rfind(c.failure, 0), 0u) << Narrow(outcome.failureText);
    }
  }
  for (const Observed& o : observed) {
    SetReply(o.reply);
    RecordProperty(o.property, ErrorCodeOf(Authorize(1048576, required)));
  }
}

TEST_F(ServiceRequestWin, PostReachesTheServerAsSent) {
  SetReply({{"status", 200}, {"body", "ok"}});
  const Outcome outcome = Authorize();
  ASSERT_TRUE(outcome.ok) << std::string(outcome.failureText.begin(), outcome.failureText.end());
  EXPECT_EQ(outcome.response, "ok");
  const std::vector<json> received = Received();
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0]["request_line"], "POST /install/windows/authorize HTTP/1.1");
  EXPECT_EQ(received[0]["body_hex"], "7b22636f6465223a2234373131227d");  // {"code":"4711"}
  EXPECT_EQ(SortedHeaderLines(received[0]),
            SortedLines({"Content-Type: application/json", "User-Agent: VAQ Online Installer/1.0",
                         "Host: localhost", "Content-Length: 15", "Connection: Keep-Alive"}));
}

TEST_F(ServiceRequestWin, GetCarriesTheGrantHeaderAndNoBody) {
  const std::string grant = dev_service::Setting("VAQ_DEV_SERVICE_GRANT");
  const std::u16string header = u"X-VAQ-Install-Grant: " + std::u16string(grant.begin(), grant.end()) + u"\r\n";
  const Outcome outcome = Request(u"GET", u"/install/bootstrap.ps1", header, "", 1048576);
  ASSERT_TRUE(outcome.ok) << std::string(outcome.failureText.begin(), outcome.failureText.end());
  EXPECT_EQ(outcome.response, "Write-Output 'VAQ development bootstrap'\r\nexit 0\r\n");
  const std::vector<json> received = Received();
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0]["request_line"], "GET /install/bootstrap.ps1 HTTP/1.1");
  EXPECT_EQ(received[0]["body_hex"], "");
  EXPECT_EQ(SortedHeaderLines(received[0]),
            SortedLines({"X-VAQ-Install-Grant: " + grant, "User-Agent: VAQ Online Installer/1.0",
                         "Host: localhost", "Connection: Keep-Alive"}));
}

TEST(RootCertificate, IsTheIssuersIsrgRootX1) {
  BYTE digest[32];
  DWORD size = sizeof(digest);
  ASSERT_TRUE(CryptHashCertificate(0, CALG_SHA_256, 0, kRootCertificate, kRootCertificateSize, digest, &size));
  ASSERT_EQ(size, 32u);
  const BYTE published[32] = {0x96, 0xBC, 0xEC, 0x06, 0x26, 0x49, 0x76, 0xF3, 0x74, 0x60, 0x77,
                              0x9A, 0xCF, 0x28, 0xC5, 0xA7, 0xCF, 0xE8, 0xA3, 0xC0, 0xAA, 0xE1,
                              0x1A, 0x8F, 0xFC, 0xEE, 0x05, 0xC0, 0xBD, 0xDF, 0x08, 0xC6};
  EXPECT_EQ(0, memcmp(digest, published, 32));
  EXPECT_EQ(0, memcmp(kRootCertificateSha256, published, 32));
  const UniqueCertificate certificate(
      CertCreateCertificateContext(X509_ASN_ENCODING, kRootCertificate, kRootCertificateSize));
  ASSERT_TRUE(certificate);
  wchar_t name[64] = {};
  CertGetNameStringW(certificate.Get(), CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, name, 64);
  EXPECT_STREQ(name, L"ISRG Root X1");
}

// Puts "ISRG Root X1" into the machine's distrusted store for the life of the object.
class DistrustedRoot {
 public:
  DistrustedRoot() { EXPECT_TRUE(machine_store::Add(L"Disallowed", machine_store::RootEncoding())); }
  ~DistrustedRoot() {
    EXPECT_TRUE(machine_store::Remove(L"Disallowed",
                                      machine_store::Sha1Thumbprint(machine_store::RootEncoding())));
  }
};

TEST_F(ServiceRequestWin, DistrustedRootStopsBeforeTheNetwork) {
  VAQ_SKIP_UNLESS_MACHINE_MAY_CHANGE("the machine's Disallowed certificate store");
  {
    const DistrustedRoot distrusted;
    const Outcome outcome = Authorize();
    EXPECT_FALSE(outcome.ok);
    EXPECT_TRUE(StartsWith(outcome.failureText, u"准备 HTTPS 根证书失败（Windows 错误 5）："));
    const std::u16string hint = u"\n请检查管理员权限、文件权限及安全软件的拦截记录。";
    EXPECT_EQ(outcome.failureText.substr(outcome.failureText.size() - hint.size()), hint);
    EXPECT_TRUE(Received().empty()) << "nothing reached the server";
  }
  const Outcome after = Authorize();
  EXPECT_TRUE(after.ok) << "trusted again once removed: " << Narrow(after.failureText);
}

TEST_F(ServiceRequestWin, RootIsInTheTrustedRootsAfterARequest) {
  ASSERT_TRUE(Authorize().ok);
  const std::string root = machine_store::RootEncoding();
  EXPECT_EQ(machine_store::Find(L"ROOT", machine_store::Sha1Thumbprint(root)), root);
}

// A plain WinHTTP client that allows TLS 1.0 and 1.1: shows what the server offers.
bool OldTlsClientGetsAnswer() {
  const UniqueInternet session(WinHttpOpen(L"probe", WINHTTP_ACCESS_TYPE_NO_PROXY,
                                           WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
  DWORD protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_1;
  if (!WinHttpSetOption(session.Get(), WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof(protocols))) {
    return false;
  }
  const UniqueInternet connection(WinHttpConnect(session.Get(), L"localhost", 443, 0));
  const UniqueInternet request(WinHttpOpenRequest(connection.Get(), L"GET", L"/probe", nullptr,
                                                  WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                  WINHTTP_FLAG_SECURE));
  return WinHttpSendRequest(request.Get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA,
                            0, 0, 0) &&
         WinHttpReceiveResponse(request.Get(), nullptr);
}

TEST_F(ServiceRequestWin, ServerOfferingOnlyOldTlsIsRefused) {
  SetReply({{"tls_min", "TLSv1"}, {"tls_max", "TLSv1_1"}});
  ASSERT_TRUE(OldTlsClientGetsAnswer()) << "the server speaks TLS 1.0/1.1: " << GetLastError();
  dev_service::ClearReceived();
  const Outcome outcome = Authorize();
  EXPECT_FALSE(outcome.ok);
  EXPECT_TRUE(StartsWith(outcome.failureText, u"请求安装服务失败（Windows 错误 "));
  EXPECT_TRUE(Received().empty());
}

TEST_F(ServiceRequestWin, UntrustedServerCertificateIsRefused) {
  SetReply({{"certificate", "untrusted"}});
  const Outcome outcome = Authorize();
  RecordProperty("winhttp_error_untrusted_certificate", ErrorCodeOf(outcome));
  EXPECT_FALSE(outcome.ok);
  // Wine reports 12157 where Windows reports 12175.
  EXPECT_TRUE(StartsWith(outcome.failureText, u"请求安装服务失败（Windows 错误 "));
  EXPECT_TRUE(Received().empty());
}

TEST_F(ServiceRequestWin, ClosedPortIsACannotConnectFailure) {
  {
    const dev_service::ClosedPort closed;
    const Outcome outcome = Authorize();
    EXPECT_FALSE(outcome.ok);
    EXPECT_TRUE(StartsWith(outcome.failureText, u"请求安装服务失败（Windows 错误 12029）"))
        << Narrow(outcome.failureText);
    const std::u16string hint = u"\n请检查网络、代理和安装服务的 HTTPS 连接。";
    EXPECT_EQ(outcome.failureText.substr(outcome.failureText.size() - hint.size()), hint);
  }
  EXPECT_TRUE(Authorize().ok) << "the port is open again";
}

}  // namespace
}  // namespace vaq
