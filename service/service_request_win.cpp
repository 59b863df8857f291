#include "service/service_request_win.h"

#include <windows.h>
#include <wincrypt.h>
#include <winhttp.h>

#include "base/handles_win.h"
#include "base/wide_win.h"
#include "service/root_certificate.h"

namespace vaq {
namespace {

const BYTE* AsBytes(std::string_view bytes) { return reinterpret_cast<const BYTE*>(bytes.data()); }

class WinStoredCertificate final : public StoredCertificate {
 public:
  explicit WinStoredCertificate(UniqueCertificate certificate)
      : certificate_(std::move(certificate)) {}
  std::string_view Encoding() const override {
    return {reinterpret_cast<const char*>(certificate_.Get()->pbCertEncoded),
            certificate_.Get()->cbCertEncoded};
  }

 private:
  UniqueCertificate certificate_;
};

class WinCertificateStore final : public CertificateStore {
 public:
  explicit WinCertificateStore(UniqueCertificateStore store) : store_(std::move(store)) {}

  std::unique_ptr<StoredCertificate> FindBySha1(std::string_view sha1) override {
    CRYPT_HASH_BLOB hash{static_cast<DWORD>(sha1.size()), const_cast<BYTE*>(AsBytes(sha1))};
    UniqueCertificate found(CertFindCertificateInStore(store_.Get(), X509_ASN_ENCODING, 0,
                                                       CERT_FIND_SHA1_HASH, &hash, nullptr));
    if (!found) return nullptr;
    return std::make_unique<WinStoredCertificate>(std::move(found));
  }

  bool AddNew(std::string_view encoded) override {
    return CertAddEncodedCertificateToStore(store_.Get(), X509_ASN_ENCODING, AsBytes(encoded),
                                            static_cast<DWORD>(encoded.size()),
                                            CERT_STORE_ADD_NEW, nullptr) != FALSE;
  }

 private:
  UniqueCertificateStore store_;
};

std::unique_ptr<CertificateStore> OpenMachineStore(const wchar_t* name, DWORD flags) {
  UniqueCertificateStore store(CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                                             CERT_SYSTEM_STORE_LOCAL_MACHINE | flags, name));
  if (!store) return nullptr;
  return std::make_unique<WinCertificateStore>(std::move(store));
}

class WinCertificateStores final : public CertificateStores {
 public:
  void SetLastError(uint32_t code) override { ::SetLastError(code); }
  uint32_t LastError() const override { return GetLastError(); }

  std::unique_ptr<CertificateStore> OpenTrustedRoots() override {
    return OpenMachineStore(L"ROOT", 0);
  }
  std::unique_ptr<CertificateStore> OpenDistrusted() override {
    return OpenMachineStore(L"Disallowed", CERT_STORE_READONLY_FLAG);
  }

  bool HashCertificate(DigestKind kind, std::string_view encoded, std::string& digest) override {
    BYTE buffer[kSha256Size];  // the larger of the two digests
    DWORD size = sizeof(buffer);
    if (!CryptHashCertificate(0, kind == DigestKind::Sha256 ? CALG_SHA_256 : CALG_SHA1, 0,
                              AsBytes(encoded), static_cast<DWORD>(encoded.size()), buffer, &size)) {
      return false;
    }
    digest.assign(reinterpret_cast<const char*>(buffer), size);
    return true;
  }
};

class WinHttpRequest final : public HttpRequest {
 public:
  explicit WinHttpRequest(UniqueInternet request) : request_(std::move(request)) {}

  bool NeverRedirect() override {
    DWORD policy = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
    return WinHttpSetOption(request_.Get(), WINHTTP_OPTION_REDIRECT_POLICY, &policy,
                            sizeof(policy)) != FALSE;
  }

  bool Send(std::u16string_view extraHeaders, std::string_view body) override {
    // Handed over with their length, not copied: the header lines may carry the grant.
    const DWORD length = static_cast<DWORD>(body.size());
    return WinHttpSendRequest(
               request_.Get(),
               extraHeaders.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : AsWide(extraHeaders.data()),
               static_cast<DWORD>(extraHeaders.size()),
               body.empty() ? WINHTTP_NO_REQUEST_DATA : const_cast<char*>(body.data()), length,
               length, 0) != FALSE;
  }

  bool ReceiveResponse() override { return WinHttpReceiveResponse(request_.Get(), nullptr) != FALSE; }

  bool QueryStatus(uint32_t& status) override {
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (!WinHttpQueryHeaders(request_.Get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &value, &size,
                             WINHTTP_NO_HEADER_INDEX)) {
      return false;
    }
    status = value;
    return true;
  }

  std::optional<uint32_t> PromisedLength() override {
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (!WinHttpQueryHeaders(request_.Get(),
                             WINHTTP_QUERY_CONTENT_LENGTH | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &value, &size,
                             WINHTTP_NO_HEADER_INDEX)) {
      return std::nullopt;
    }
    return value;
  }

  std::u16string TransferEncoding() override {
    DWORD size = 0;
    if (WinHttpQueryHeaders(request_.Get(), WINHTTP_QUERY_TRANSFER_ENCODING,
                            WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER, &size,
                            WINHTTP_NO_HEADER_INDEX) ||
        GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
      return {};
    }
    std::u16string value(size / sizeof(char16_t), u'\0');
    if (!WinHttpQueryHeaders(request_.Get(), WINHTTP_QUERY_TRANSFER_ENCODING,
                             WINHTTP_HEADER_NAME_BY_INDEX, AsWide(value.data()), &size,
                             WINHTTP_NO_HEADER_INDEX)) {
      return {};
    }
    value.resize(size / sizeof(char16_t));
    return value;
  }

  bool Read(char* buffer, uint32_t size, uint32_t& read) override {
    DWORD count = 0;
    if (!WinHttpReadData(request_.Get(), buffer, size, &count)) return false;
    read = count;
    return true;
  }

 private:
  UniqueInternet request_;
};

class WinHttpConnection final : public HttpConnection {
 public:
  explicit WinHttpConnection(UniqueInternet connection) : connection_(std::move(connection)) {}

  std::unique_ptr<HttpRequest> OpenRequest(std::u16string_view verb,
                                           std::u16string_view path) override {
    const std::u16string verbText(verb);
    const std::u16string pathText(path);
    UniqueInternet request(WinHttpOpenRequest(connection_.Get(), AsWide(verbText), AsWide(pathText),
                                              nullptr, WINHTTP_NO_REFERER,
                                              WINHTTP_DEFAULT_ACCEPT_TYPES, WINHTTP_FLAG_SECURE));
    if (!request) return nullptr;
    return std::make_unique<WinHttpRequest>(std::move(request));
  }

 private:
  UniqueInternet connection_;
};

class WinHttpSession final : public HttpSession {
 public:
  explicit WinHttpSession(UniqueInternet session) : session_(std::move(session)) {}

  bool SetTimeouts(uint32_t resolveMs, uint32_t connectMs, uint32_t sendMs,
                   uint32_t receiveMs) override {
    return WinHttpSetTimeouts(session_.Get(), static_cast<int>(resolveMs),
                              static_cast<int>(connectMs), static_cast<int>(sendMs),
                              static_cast<int>(receiveMs)) != FALSE;
  }

  bool RestrictToTls12() override {
    DWORD protocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;
    return WinHttpSetOption(session_.Get(), WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols,
                            sizeof(protocols)) != FALSE;
  }

  std::unique_ptr<HttpConnection> Connect(std::u16string_view host, uint16_t port) override {
    const std::u16string hostText(host);
    UniqueInternet connection(WinHttpConnect(session_.Get(), AsWide(hostText), port, 0));
    if (!connection) return nullptr;
    return std::make_unique<WinHttpConnection>(std::move(connection));
  }

 private:
  UniqueInternet session_;
};

class WinHttpTransport final : public HttpTransport {
 public:
  uint32_t LastError() const override { return GetLastError(); }

  std::unique_ptr<HttpSession> OpenSession(std::u16string_view userAgent) override {
    const std::u16string agent(userAgent);
    UniqueInternet session(WinHttpOpen(AsWide(agent), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                       WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session) return nullptr;
    return std::make_unique<WinHttpSession>(std::move(session));
  }
};

}  // namespace

bool ServiceRequest(SetupContext& context, std::u16string_view verb, std::u16string_view path,
                    std::u16string_view extraHeaders, std::string_view body, SecretBytes& response,
                    uint32_t limit, LengthPromise lengthPromise) {
  WinCertificateStores stores;
  WinHttpTransport transport;
  return ServiceRequest(context, stores, transport, verb, path, extraHeaders, body, response, limit,
                        lengthPromise);
}

ServiceRequester WindowsServiceRequester(LengthPromise lengthPromise) {
  return [lengthPromise](SetupContext& context, std::u16string_view verb, std::u16string_view path,
            std::u16string_view extraHeaders, std::string_view body, SecretBytes& response,
            uint32_t limit) {
    return ServiceRequest(context, verb, path, extraHeaders, body, response, limit, lengthPromise);
  };
}

}  // namespace vaq
