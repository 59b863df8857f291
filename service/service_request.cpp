#include "service/service_request.h"

#include <cstring>

#include "base/failure_text.h"
#include "base/service_contract.h"
#include "service/reply_text.h"
#include "service/root_certificate.h"

namespace vaq {
namespace {

constexpr uint32_t kErrorInvalidData = 13;
constexpr uint32_t kErrorAccessDenied = 5;
constexpr uint32_t kErrorConnectionError = 12030;  // ERROR_WINHTTP_CONNECTION_ERROR
constexpr std::u16string_view kReadFailed = u"读取安装下载内容失败";

std::string_view RootCertificate() {
  return {reinterpret_cast<const char*>(kRootCertificate), kRootCertificateSize};
}

bool DigestEquals(const std::string& digest, const uint8_t* expected, size_t size) {
  return digest.size() == size && std::memcmp(digest.data(), expected, size) == 0;
}

// The code of a failure is taken before the stores close; destruction closes the distrusted
// store first, then the trusted roots.
bool PrepareRootCertificateInStores(CertificateStores& stores, uint32_t& errorCode) {
  const std::unique_ptr<CertificateStore> trustedRoots = stores.OpenTrustedRoots();
  const std::unique_ptr<CertificateStore> distrusted = stores.OpenDistrusted();
  const bool prepared = PrepareRootCertificate(stores, trustedRoots.get(), distrusted.get());
  errorCode = stores.LastError();
  return prepared;
}

// WinHTTP takes a body apart into chunks only when "chunked" is its one coding; after any other
// coding list it hands over the raw bytes up to the connection's close, chunk framing and all.
bool IsOnlyChunked(std::u16string_view transferEncoding) {
  std::u16string_view coding = transferEncoding;
  while (!coding.empty() && (coding.front() == u' ' || coding.front() == u'\t')) coding.remove_prefix(1);
  while (!coding.empty() && (coding.back() == u' ' || coding.back() == u'\t')) coding.remove_suffix(1);
  constexpr std::u16string_view kChunked = u"chunked";
  if (coding.size() != kChunked.size()) return false;
  for (size_t i = 0; i < coding.size(); ++i) {
    const char16_t c = coding[i] >= u'A' && coding[i] <= u'Z' ? coding[i] - u'A' + u'a' : coding[i];
    if (c != kChunked[i]) return false;
  }
  return true;
}

// Reads the body after the status; every failure text is stored here.
bool ReadBody(SetupContext& context, HttpTransport& transport, HttpRequest& request,
              uint32_t status, SecretBytes& response, uint32_t limit,
              LengthPromise lengthPromise) {
  const uint32_t allowance = status == service::kSuccessStatus ? limit : service::kErrorBodyLimit;
  const std::optional<uint32_t> promised = request.PromisedLength();
  const std::u16string transferEncoding = request.TransferEncoding();
  const bool chunked = IsOnlyChunked(transferEncoding);
  // Under any other coding the Content-Length does not describe the bytes the transport reads.
  const bool lengthFramed = promised.has_value() && transferEncoding.empty();
  for (;;) {
    // Read straight into the response: a buffer of its own would keep a copy of the grant.
    const size_t before = response.size();
    uint32_t read = 0;
    const bool readOk = request.Read(response.grow(service::kReadChunk), service::kReadChunk, read);
    response.resize(before + (readOk ? read : 0));
    if (!readOk) {
      SetWindowsFailure(context, kReadFailed, transport.LastError());
      return false;
    }
    if (read == 0) break;
    if (response.size() > allowance) {
      context.failureText = u"安装服务返回的内容超出允许大小，请联系管理员。";
      return false;
    }
  }
  // The status alone decides a refusal; its text stands even when its body was cut.
  if (status != service::kSuccessStatus) {
    context.failureText = ServiceReplyText(status, Utf8ToWide(response.view()));
    return false;
  }
  // Ended before the promised length, or ended by nothing but the connection's close where a
  // whole body is needed: a body that may be cut, whatever the transport said. Chunked framing
  // overrides a Content-Length.
  const bool unconfirmed = !chunked && (lengthFramed ? response.size() < *promised
                                                     : lengthPromise == LengthPromise::Required);
  if (unconfirmed) {
    SetWindowsFailure(context, kReadFailed, kErrorConnectionError);
    return false;
  }
  if (response.empty()) {
    context.failureText = u"安装服务返回了空响应，请稍后重试。";
    return false;
  }
  return true;
}

}  // namespace

bool PrepareRootCertificate(CertificateStores& stores, CertificateStore* trustedRoots,
                            CertificateStore* distrusted) {
  if (trustedRoots == nullptr || distrusted == nullptr) return false;
  std::string sha256;
  if (!stores.HashCertificate(DigestKind::Sha256, RootCertificate(), sha256) ||
      !DigestEquals(sha256, kRootCertificateSha256, kSha256Size)) {
    return false;
  }
  std::string sha1;
  if (!stores.HashCertificate(DigestKind::Sha1, RootCertificate(), sha1)) return false;
  if (distrusted->FindBySha1(sha1)) {
    stores.SetLastError(kErrorAccessDenied);
    return false;
  }
  const std::unique_ptr<StoredCertificate> stored = trustedRoots->FindBySha1(sha1);
  if (!stored) return trustedRoots->AddNew(RootCertificate());
  return stored->Encoding() == RootCertificate();
}

bool ServiceRequest(SetupContext& context, CertificateStores& stores, HttpTransport& transport,
                    std::u16string_view verb, std::u16string_view path,
                    std::u16string_view extraHeaders, std::string_view body,
                    SecretBytes& response, uint32_t limit, LengthPromise lengthPromise) {
  stores.SetLastError(kErrorInvalidData);
  uint32_t errorCode = 0;
  if (!PrepareRootCertificateInStores(stores, errorCode)) {
    SetWindowsFailure(context, u"准备 HTTPS 根证书失败", errorCode);
    return false;
  }
  // Declared in opening order so that destruction closes request, connection, then session.
  const std::unique_ptr<HttpSession> session = transport.OpenSession(service::kUserAgent);
  if (!session) {
    SetWindowsFailure(context, u"初始化安装请求失败", transport.LastError());
    return false;
  }
  if (!session->SetTimeouts(service::kResolveTimeoutMs, service::kConnectTimeoutMs,
                            service::kSendTimeoutMs, service::kReceiveTimeoutMs)) {
    SetWindowsFailure(context, u"设置网络超时失败", transport.LastError());
    return false;
  }
  if (!session->RestrictToTls12()) {
    SetWindowsFailure(context, u"启用 TLS 1.2 失败", transport.LastError());
    return false;
  }
  const std::unique_ptr<HttpConnection> connection = session->Connect(service::kHost, service::kPort);
  if (!connection) {
    SetWindowsFailure(context, u"连接安装服务失败", transport.LastError());
    return false;
  }
  const std::unique_ptr<HttpRequest> request = connection->OpenRequest(verb, path);
  if (!request) {
    SetWindowsFailure(context, u"创建安装下载请求失败", transport.LastError());
    return false;
  }
  if (!request->NeverRedirect()) {
    SetWindowsFailure(context, u"设置安装服务重定向保护失败", transport.LastError());
    return false;
  }
  if (!request->Send(extraHeaders, body) || !request->ReceiveResponse()) {
    SetWindowsFailure(context, u"请求安装服务失败", transport.LastError());
    return false;
  }
  uint32_t status = 0;
  if (!request->QueryStatus(status)) {
    SetWindowsFailure(context, u"读取安装服务响应失败", transport.LastError());
    return false;
  }
  return ReadBody(context, transport, *request, status, response, limit, lengthPromise);
}

}  // namespace vaq
