// ServiceRequest's steps, limits and texts over a substitute transport and certificate stores
// that record every call, so order, clean-up and the reported error code are visible.
#include "service/service_request.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <vector>

#include "base/failure_text.h"
#include "service/root_certificate.h"

namespace vaq {
namespace {

constexpr uint32_t kInjectedCode = 4321;

const std::string kRootEncoding(reinterpret_cast<const char*>(kRootCertificate), kRootCertificateSize);
const std::string kThumbprint(20, '\x5A');

struct Platform;

struct FakeCertificate : StoredCertificate {
  FakeCertificate(Platform& p, std::string store, std::string bytes)
      : platform(p), storeName(std::move(store)), encoding(std::move(bytes)) {}
  ~FakeCertificate() override;
  std::string_view Encoding() const override { return encoding; }
  Platform& platform;
  std::string storeName;
  std::string encoding;
};

struct FakeStore : CertificateStore {
  FakeStore(Platform& p, std::string n) : platform(p), name(std::move(n)) {}
  ~FakeStore() override;
  std::unique_ptr<StoredCertificate> FindBySha1(std::string_view sha1) override;
  bool AddNew(std::string_view encoded) override;
  Platform& platform;
  std::string name;
};

struct FakeRequest : HttpRequest {
  explicit FakeRequest(Platform& p) : platform(p) {}
  ~FakeRequest() override;
  bool NeverRedirect() override;
  bool Send(std::u16string_view extraHeaders, std::string_view body) override;
  std::optional<uint32_t> PromisedLength() override;
  std::u16string TransferEncoding() override;
  bool ReceiveResponse() override;
  bool QueryStatus(uint32_t& status) override;
  bool Read(char* buffer, uint32_t size, uint32_t& read) override;
  Platform& platform;
};

struct FakeConnection : HttpConnection {
  explicit FakeConnection(Platform& p) : platform(p) {}
  ~FakeConnection() override;
  std::unique_ptr<HttpRequest> OpenRequest(std::u16string_view verb, std::u16string_view path) override;
  Platform& platform;
};

struct FakeSession : HttpSession {
  explicit FakeSession(Platform& p) : platform(p) {}
  ~FakeSession() override;
  bool SetTimeouts(uint32_t resolveMs, uint32_t connectMs, uint32_t sendMs, uint32_t receiveMs) override;
  bool RestrictToTls12() override;
  std::unique_ptr<HttpConnection> Connect(std::u16string_view host, uint16_t port) override;
  Platform& platform;
};

struct Platform : CertificateStores, HttpTransport {
  std::vector<std::string> log;
  std::string failing;  // the one operation that fails, by its log name
  uint32_t lastError = 0;

  std::string sha256{reinterpret_cast<const char*>(kRootCertificateSha256), kSha256Size};
  std::map<std::string, std::map<std::string, std::string>> stores{{"ROOT", {{kThumbprint, kRootEncoding}}},
                                                                   {"Disallowed", {}}};

  uint32_t status = 200;
  std::string reply = "reply";
  size_t replyOffset = 0;
  std::optional<uint32_t> promised;  // the reply's Content-Length
  std::u16string transferEncoding;

  // What the logic handed over.
  std::u16string userAgent, host, verb, path, headers;
  std::string sentBody;
  uint16_t port = 0;
  std::vector<uint32_t> timeouts;
  std::vector<uint32_t> readSizes;

  // Logs the call; true when it is the one to fail (which sets the injected code).
  bool Fails(const std::string& operation) {
    log.push_back(operation);
    if (operation != failing) return false;
    lastError = kInjectedCode;
    return true;
  }
  void Closed(const std::string& what) { log.push_back("close " + what); }

  void SetLastError(uint32_t code) override { lastError = code; }
  uint32_t LastError() const override { return lastError; }
  std::unique_ptr<CertificateStore> OpenTrustedRoots() override {
    if (Fails("open ROOT")) return nullptr;
    return std::make_unique<FakeStore>(*this, "ROOT");
  }
  std::unique_ptr<CertificateStore> OpenDistrusted() override {
    if (Fails("open Disallowed")) return nullptr;
    return std::make_unique<FakeStore>(*this, "Disallowed");
  }
  bool HashCertificate(DigestKind kind, std::string_view encoded, std::string& digest) override {
    const bool sha = kind == DigestKind::Sha256;
    if (Fails(sha ? "hash SHA-256" : "hash SHA-1")) return false;
    EXPECT_EQ(encoded, kRootEncoding);
    digest = sha ? sha256 : kThumbprint;
    return true;
  }
  std::unique_ptr<HttpSession> OpenSession(std::u16string_view agent) override {
    userAgent = agent;
    if (Fails("open session")) return nullptr;
    return std::make_unique<FakeSession>(*this);
  }
};

FakeCertificate::~FakeCertificate() { platform.Closed("certificate of " + storeName); }
FakeStore::~FakeStore() { platform.Closed(name); }
std::unique_ptr<StoredCertificate> FakeStore::FindBySha1(std::string_view sha1) {
  if (platform.Fails("find in " + name)) return nullptr;
  const auto& certificates = platform.stores[name];
  const auto found = certificates.find(std::string(sha1));
  if (found == certificates.end()) return nullptr;
  return std::make_unique<FakeCertificate>(platform, name, found->second);
}
bool FakeStore::AddNew(std::string_view encoded) {
  if (platform.Fails("add to " + name)) return false;
  platform.stores[name][kThumbprint] = std::string(encoded);
  return true;
}

FakeSession::~FakeSession() { platform.Closed("session"); }
bool FakeSession::SetTimeouts(uint32_t resolveMs, uint32_t connectMs, uint32_t sendMs, uint32_t receiveMs) {
  platform.timeouts = {resolveMs, connectMs, sendMs, receiveMs};
  return !platform.Fails("set timeouts");
}
bool FakeSession::RestrictToTls12() { return !platform.Fails("restrict to TLS 1.2"); }
std::unique_ptr<HttpConnection> FakeSession::Connect(std::u16string_view host, uint16_t port) {
  platform.host = host;
  platform.port = port;
  if (platform.Fails("connect")) return nullptr;
  return std::make_unique<FakeConnection>(platform);
}

FakeConnection::~FakeConnection() { platform.Closed("connection"); }
std::unique_ptr<HttpRequest> FakeConnection::OpenRequest(std::u16string_view verb, std::u16string_view path) {
  platform.verb = verb;
  platform.path = path;
  if (platform.Fails("open request")) return nullptr;
  return std::make_unique<FakeRequest>(platform);
}

FakeRequest::~FakeRequest() { platform.Closed("request"); }
bool FakeRequest::NeverRedirect() { return !platform.Fails("never redirect"); }
bool FakeRequest::Send(std::u16string_view extraHeaders, std::string_view body) {
  platform.headers = extraHeaders;
  platform.sentBody = body;
  return !platform.Fails("send");
}
std::optional<uint32_t> FakeRequest::PromisedLength() {
  platform.log.push_back("query length");
  return platform.promised;
}
std::u16string FakeRequest::TransferEncoding() {
  platform.log.push_back("query transfer encoding");
  return platform.transferEncoding;
}
bool FakeRequest::ReceiveResponse() { return !platform.Fails("receive"); }
bool FakeRequest::QueryStatus(uint32_t& status) {
  if (platform.Fails("query status")) return false;
  status = platform.status;
  return true;
}
bool FakeRequest::Read(char* buffer, uint32_t size, uint32_t& read) {
  platform.readSizes.push_back(size);
  if (platform.Fails("read")) return false;
  // Pieces of at most 1000 bytes, so that bodies take several reads.
  const size_t piece = std::min<size_t>({size, 1000, platform.reply.size() - platform.replyOffset});
  platform.reply.copy(buffer, piece, platform.replyOffset);
  platform.replyOffset += piece;
  read = static_cast<uint32_t>(piece);
  return true;
}

struct Outcome {
  bool ok;
  SecretBytes response;
  std::u16string failureText;
};

Outcome Request(Platform& platform, uint32_t limit = 4096, std::u16string_view verb = u"POST",
            std::string body = "{\"code\":\"1234\"}", std::u16string_view headers = u"Content-Type: application/json\r\n",
            LengthPromise lengthPromise = LengthPromise::Optional) {
  SetupContext context;
  context.failureText = u"left over";
  Outcome outcome;
  outcome.ok = ServiceRequest(context, platform, platform, verb, u"/install/windows/authorize", headers, body,
                              outcome.response, limit, lengthPromise);
  outcome.failureText = context.failureText;
  return outcome;
}

std::u16string Failure(std::u16string_view base, uint32_t code) {
  return WindowsFailureText(base, code, SystemMessageText(code));
}

const std::vector<std::string> kCertificateSteps = {
    "open ROOT", "open Disallowed", "hash SHA-256", "hash SHA-1", "find in Disallowed", "find in ROOT",
    "close certificate of ROOT", "close Disallowed", "close ROOT"};

std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(ServiceRequest, RunsEveryStepInOrderAndClosesInReverse) {
  Platform platform;
  const Outcome outcome = Request(platform);
  EXPECT_TRUE(outcome.ok);
  EXPECT_EQ(outcome.response, "reply");
  EXPECT_EQ(platform.log,
            Concat(kCertificateSteps,
                   {"open session", "set timeouts", "restrict to TLS 1.2", "connect", "open request",
                    "never redirect", "send", "receive", "query status", "query length", "query transfer encoding", "read", "read", "close request",
                    "close connection", "close session"}));
  EXPECT_EQ(platform.userAgent, u"VAQ Online Installer/1.0");
  EXPECT_EQ(platform.timeouts, (std::vector<uint32_t>{10000, 15000, 15000, 60000}));
  EXPECT_EQ(platform.host, u"localhost");
  EXPECT_EQ(platform.port, 443);
  EXPECT_EQ(platform.verb, u"POST");
  EXPECT_EQ(platform.path, u"/install/windows/authorize");
  EXPECT_EQ(platform.headers, u"Content-Type: application/json\r\n");
  EXPECT_EQ(platform.sentBody, "{\"code\":\"1234\"}");
  for (const uint32_t size : platform.readSizes) EXPECT_EQ(size, 8192u);
}

TEST(ServiceRequest, EachFailingCallGivesItsTextAndCodeAndClosesWhatWasOpened) {
  const struct {
    std::string operation;
    std::u16string base;
    std::vector<std::string> cleanUp;
  } cases[] = {
      {"open session", u"初始化安装请求失败", {}},
      {"set timeouts", u"设置网络超时失败", {"close session"}},
      {"restrict to TLS 1.2", u"启用 TLS 1.2 失败", {"close session"}},
      {"connect", u"连接安装服务失败", {"close session"}},
      {"open request", u"创建安装下载请求失败", {"close connection", "close session"}},
      {"never redirect", u"设置安装服务重定向保护失败", {"close request", "close connection", "close session"}},
      {"send", u"请求安装服务失败", {"close request", "close connection", "close session"}},
      {"receive", u"请求安装服务失败", {"close request", "close connection", "close session"}},
      {"query status", u"读取安装服务响应失败", {"close request", "close connection", "close session"}},
      {"read", u"读取安装下载内容失败", {"close request", "close connection", "close session"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.operation);
    Platform platform;
    platform.failing = c.operation;
    const Outcome outcome = Request(platform);
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.failureText, Failure(c.base, kInjectedCode));
    EXPECT_EQ(outcome.failureText.rfind(c.base + u"（Windows 错误 4321）", 0), 0u);
    const auto failed = std::find(platform.log.begin(), platform.log.end(), c.operation);
    ASSERT_NE(failed, platform.log.end());
    EXPECT_EQ(std::vector<std::string>(failed + 1, platform.log.end()), c.cleanUp);
  }
}

TEST(ServiceRequest, CertificateFailuresStopBeforeAnyNetworkStep) {
  const struct {
    std::string operation;
    std::vector<std::string> log;
  } cases[] = {
      {"open ROOT", {"open ROOT", "open Disallowed", "close Disallowed"}},
      {"open Disallowed", {"open ROOT", "open Disallowed", "close ROOT"}},
      {"hash SHA-256", {"open ROOT", "open Disallowed", "hash SHA-256", "close Disallowed", "close ROOT"}},
      {"hash SHA-1",
       {"open ROOT", "open Disallowed", "hash SHA-256", "hash SHA-1", "close Disallowed", "close ROOT"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.operation);
    Platform platform;
    platform.failing = c.operation;
    const Outcome outcome = Request(platform);
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.failureText, Failure(u"准备 HTTPS 根证书失败", kInjectedCode));
    EXPECT_EQ(platform.log, c.log);
  }
}

TEST(ServiceRequest, DigestMismatchFailsWithInvalidDataBeforeAnyNetworkStep) {
  Platform platform;
  platform.sha256[31] ^= 1;
  const Outcome outcome = Request(platform);
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.failureText.rfind(u"准备 HTTPS 根证书失败（Windows 错误 13）", 0), 0u);
  EXPECT_EQ(outcome.failureText, Failure(u"准备 HTTPS 根证书失败", 13));
  EXPECT_EQ(platform.log, (std::vector<std::string>{"open ROOT", "open Disallowed", "hash SHA-256",
                                                    "close Disallowed", "close ROOT"}));
}

TEST(ServiceRequest, DistrustedRootIsAccessDeniedWithoutNetwork) {
  Platform platform;
  platform.stores["Disallowed"][kThumbprint] = kRootEncoding;
  const Outcome outcome = Request(platform);
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.failureText.rfind(u"准备 HTTPS 根证书失败（Windows 错误 5）", 0), 0u);
  EXPECT_EQ(outcome.failureText, Failure(u"准备 HTTPS 根证书失败", 5));
  EXPECT_NE(outcome.failureText.find(u"请检查管理员权限"), std::u16string::npos);
  EXPECT_EQ(platform.log,
            (std::vector<std::string>{"open ROOT", "open Disallowed", "hash SHA-256", "hash SHA-1",
                                      "find in Disallowed", "close certificate of Disallowed",
                                      "close Disallowed", "close ROOT"}));
}

TEST(ServiceRequest, MissingRootIsAddedThenFoundAndCompared) {
  Platform platform;
  platform.stores["ROOT"].clear();
  EXPECT_TRUE(Request(platform).ok);
  EXPECT_EQ(platform.stores["ROOT"][kThumbprint], kRootEncoding);
  const std::vector<std::string> firstCall(platform.log.begin(), platform.log.begin() + 9);
  EXPECT_EQ(firstCall, (std::vector<std::string>{"open ROOT", "open Disallowed", "hash SHA-256", "hash SHA-1",
                                                 "find in Disallowed", "find in ROOT", "add to ROOT",
                                                 "close Disallowed", "close ROOT"}));
  platform.log.clear();
  platform.replyOffset = 0;
  EXPECT_TRUE(Request(platform).ok);
  EXPECT_EQ(std::vector<std::string>(platform.log.begin(), platform.log.begin() + 9), kCertificateSteps);
}

TEST(ServiceRequest, RefusedAddFailsWithItsCode) {
  Platform platform;
  platform.stores["ROOT"].clear();
  platform.failing = "add to ROOT";
  const Outcome outcome = Request(platform);
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.failureText, Failure(u"准备 HTTPS 根证书失败", kInjectedCode));
  EXPECT_EQ(platform.log.back(), "close ROOT");
  EXPECT_EQ(std::count(platform.log.begin(), platform.log.end(), "open session"), 0);
}

TEST(ServiceRequest, StoredCertificateWithSameThumbprintMustMatchByteForByte) {
  const std::string longer = kRootEncoding + "x";
  std::string changed = kRootEncoding;
  changed[700] ^= 0x01;
  for (const std::string& stored : {longer, changed, kRootEncoding.substr(0, 1390)}) {
    Platform platform;
    platform.stores["ROOT"][kThumbprint] = stored;
    const Outcome outcome = Request(platform);
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.failureText, Failure(u"准备 HTTPS 根证书失败", 13));
    EXPECT_EQ(platform.log, kCertificateSteps);
  }
}

TEST(ServiceRequest, BodyAllowances) {
  const std::u16string tooLarge = u"安装服务返回的内容超出允许大小，请联系管理员。";
  const std::u16string forbidden = u"安装授权无效或已过期，请使用新的 4 位安装授权码。（HTTP 403）";
  const struct {
    uint32_t status;
    uint32_t limit;
    size_t size;
    bool ok;
    std::u16string text;
  } cases[] = {
      {200, 4096, 4096, true, u"left over"},
      {200, 4096, 4097, false, tooLarge},
      {200, 1048576, 1048576, true, u"left over"},
      {200, 1048576, 1048577, false, tooLarge},
      {403, 4096, 16384, false, forbidden},
      {403, 4096, 16385, false, tooLarge},
      {403, 1048576, 16385, false, tooLarge},
      {200, 4096, 0, false, u"安装服务返回了空响应，请稍后重试。"},
      {204, 4096, 0, false, u"服务器未能提供安装文件，请联系管理员。（HTTP 204）"},
      {201, 4096, 10, false, u"服务器未能提供安装文件，请联系管理员。（HTTP 201）"},
      {302, 4096, 0, false, u"服务器未能提供安装文件，请联系管理员。（HTTP 302）"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.status << " " << c.limit << " " << c.size);
    Platform platform;
    platform.status = c.status;
    platform.reply.assign(c.size, 'x');
    const Outcome outcome = Request(platform, c.limit);
    EXPECT_EQ(outcome.ok, c.ok);
    EXPECT_EQ(outcome.failureText, c.text);
    if (c.ok) {
      EXPECT_EQ(outcome.response, platform.reply);
    }
  }
}

TEST(ServiceRequest, OversizedBodyIsNotReadToTheEnd) {
  Platform platform;
  platform.reply.assign(100000, 'x');
  const Outcome outcome = Request(platform, 4096);
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.response.size(), 5000u);  // the first piece past the allowance ends it
}

TEST(ServiceRequest, ABodyThatMayBeCutIsAFailedRead) {
  const std::u16string cut = Failure(u"读取安装下载内容失败", 12030);
  constexpr LengthPromise optional = LengthPromise::Optional;
  constexpr LengthPromise required = LengthPromise::Required;
  const struct {
    uint32_t status;
    std::optional<uint32_t> promised;
    std::u16string_view transferEncoding;
    size_t size;
    LengthPromise rule;
    bool ok;
    std::u16string text;
  } cases[] = {
      {200, 5000, u"", 5000, optional, true, u"left over"},
      {200, 5000, u"", 5000, required, true, u"left over"},
      {200, std::nullopt, u"", 5000, optional, true, u"left over"},
      {200, std::nullopt, u"", 5000, required, false, cut},
      {200, 5000, u"", 4999, optional, false, cut},
      {200, 4096, u"", 60, required, false, cut},
      {200, 10, u"", 0, optional, false, cut},
      {200, 0, u"", 0, required, false, u"安装服务返回了空响应，请稍后重试。"},
      {403, 100, u"", 10, optional, false, u"安装授权无效或已过期，请使用新的 4 位安装授权码。（HTTP 403）"},
      {429, 100, u"", 10, required, false, u"安装请求过于频繁，请稍后重试。（HTTP 429）"},
      {503, 100, u"", 0, required, false, u"安装服务暂不可用，请稍后重试或联系管理员。（HTTP 503）"},
      {403, std::nullopt, u"", 10, required, false, u"安装授权无效或已过期，请使用新的 4 位安装授权码。（HTTP 403）"},
      {200, std::nullopt, u"chunked", 5000, required, true, u"left over"},
      {200, std::nullopt, u"Chunked", 5000, required, true, u"left over"},
      {200, std::nullopt, u" \tCHUNKED\t ", 5000, required, true, u"left over"},
      {200, 5000, u"chunked", 4000, required, true, u"left over"},
      {200, std::nullopt, u"chunked", 0, required, false, u"安装服务返回了空响应，请稍后重试。"},
      // Any other coding list is read as WinHTTP hands it over: up to the connection's close.
      {200, std::nullopt, u"identity, chunked", 5000, required, false, cut},
      {200, std::nullopt, u"gzip, chunked", 5000, required, false, cut},
      {200, std::nullopt, u"gzip,  Chunked\t", 5000, required, false, cut},
      {200, std::nullopt, u"chunked, identity", 5000, required, false, cut},
      {200, std::nullopt, u"chunked, gzip", 5000, required, false, cut},
      {200, std::nullopt, u"chunked, chunked", 5000, required, false, cut},
      {200, std::nullopt, u"xchunked", 5000, required, false, cut},
      {200, std::nullopt, u"identity", 5000, required, false, cut},
      {200, 5000, u"identity, chunked", 5000, required, false, cut},
      {200, std::nullopt, u"identity, chunked", 5000, optional, true, u"left over"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.status << " " << c.promised.value_or(-1) << " "
                                    << std::string(c.transferEncoding.begin(), c.transferEncoding.end())
                                    << " " << c.size
                                    << (c.rule == required ? " required" : " optional"));
    Platform platform;
    platform.status = c.status;
    platform.promised = c.promised;
    platform.transferEncoding = c.transferEncoding;
    platform.reply.assign(c.size, 'x');
    const Outcome outcome = Request(platform, 1048576, u"POST", "{}", u"", c.rule);
    EXPECT_EQ(outcome.ok, c.ok);
    EXPECT_EQ(outcome.failureText, c.text);
  }
}

TEST(ServiceRequest, ErrorReplyTextComesFromTheBody) {
  Platform platform;
  platform.status = 429;
  platform.reply = "{\"error\":\"稍等\"}";
  EXPECT_EQ(Request(platform).failureText, u"稍等（HTTP 429）");
}

TEST(ServiceRequest, EmptyBodyAndHeadersAreHandedOverEmpty) {
  Platform platform;
  EXPECT_TRUE(Request(platform, 4096, u"GET", "", u"").ok);
  EXPECT_EQ(platform.verb, u"GET");
  EXPECT_TRUE(platform.sentBody.empty());
  EXPECT_TRUE(platform.headers.empty());
}

}  // namespace
}  // namespace vaq
