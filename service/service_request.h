#pragma once
// The one HTTPS request to the installation service. The step order, limits and failure texts
// live here, written against two small platform interfaces (the HTTP transport and the
// machine's certificate stores), so that every failing call can be injected in tests. Closing or
// releasing anything keeps the last-error code, as the Win32 owners do.
// On false, context.failureText holds the text to show; response may hold part of a body.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "base/secret.h"
#include "base/service_contract.h"
#include "base/setup_context.h"

namespace vaq {

// Whether a 200 reply must promise its length. A body without one (chunked, or ended by the
// connection) cannot be told from a cut one: WinHTTP may report either end as a clean one.
enum class LengthPromise { Optional, Required };

// Certificates, thumbprints and digests are byte strings.

// A certificate found in a store; released when destroyed.
class StoredCertificate {
 public:
  virtual ~StoredCertificate() = default;
  virtual std::string_view Encoding() const = 0;
};

// An open certificate store; closed when destroyed.
class CertificateStore {
 public:
  virtual ~CertificateStore() = default;
  // The first certificate with this SHA-1 thumbprint, or null.
  virtual std::unique_ptr<StoredCertificate> FindBySha1(std::string_view sha1) = 0;
  virtual bool AddNew(std::string_view encoded) = 0;
};

enum class DigestKind { Sha256, Sha1 };

class CertificateStores {
 public:
  virtual ~CertificateStores() = default;
  virtual void SetLastError(uint32_t code) = 0;
  virtual uint32_t LastError() const = 0;
  // The machine's trusted roots (read-write) and distrusted certificates (read-only); null on
  // failure.
  virtual std::unique_ptr<CertificateStore> OpenTrustedRoots() = 0;
  virtual std::unique_ptr<CertificateStore> OpenDistrusted() = 0;
  // The digest of a certificate's encoding; false on failure.
  virtual bool HashCertificate(DigestKind kind, std::string_view encoded, std::string& digest) = 0;
};

// An HTTP request handle; closed when destroyed.
class HttpRequest {
 public:
  virtual ~HttpRequest() = default;
  virtual bool NeverRedirect() = 0;
  // Sends the header lines and the body (none when empty) in one piece.
  virtual bool Send(std::u16string_view extraHeaders, std::string_view body) = 0;
  virtual bool ReceiveResponse() = 0;
  virtual bool QueryStatus(uint32_t& status) = 0;
  // The body length the reply's Content-Length promises; none without a readable one.
  virtual std::optional<uint32_t> PromisedLength() = 0;
  // The reply's Transfer-Encoding, empty without one.
  virtual std::u16string TransferEncoding() = 0;
  // Reads the next piece of the body into buffer; read == 0 is the end.
  virtual bool Read(char* buffer, uint32_t size, uint32_t& read) = 0;
};

// A connection handle; closed when destroyed.
class HttpConnection {
 public:
  virtual ~HttpConnection() = default;
  // A request over TLS with the default HTTP version, no referrer and default accept types.
  virtual std::unique_ptr<HttpRequest> OpenRequest(std::u16string_view verb,
                                                   std::u16string_view path) = 0;
};

// A session handle; closed when destroyed.
class HttpSession {
 public:
  virtual ~HttpSession() = default;
  virtual bool SetTimeouts(uint32_t resolveMs, uint32_t connectMs, uint32_t sendMs,
                           uint32_t receiveMs) = 0;
  virtual bool RestrictToTls12() = 0;
  virtual std::unique_ptr<HttpConnection> Connect(std::u16string_view host, uint16_t port) = 0;
};

class HttpTransport {
 public:
  virtual ~HttpTransport() = default;
  virtual uint32_t LastError() const = 0;
  // A synchronous session over the system's default proxy configuration; null on failure.
  virtual std::unique_ptr<HttpSession> OpenSession(std::u16string_view userAgent) = 0;
};

// True when the machine trusts the embedded root certificate: it is not distrusted, and it is
// in the trusted roots (added when missing). Sets the last-error code to 5 when distrusted.
bool PrepareRootCertificate(CertificateStores& stores, CertificateStore* trustedRoots,
                            CertificateStore* distrusted);

bool ServiceRequest(SetupContext& context, CertificateStores& stores, HttpTransport& transport,
                    std::u16string_view verb, std::u16string_view path,
                    std::u16string_view extraHeaders, std::string_view body,
                    SecretBytes& response, uint32_t limit,
                    LengthPromise lengthPromise = LengthPromise::Optional);

}  // namespace vaq
