#pragma once
// What the installer sends the installation service and relies on in its answers, and the one
// request to it as the two workers take it.
#include <cstdint>
#include <functional>
#include <string_view>

#include "base/secret.h"
#include "base/setup_context.h"

namespace vaq::service {

#ifndef VAQ_SERVICE_HOST
#error "VAQ_SERVICE_HOST is set by the build"
#endif
constexpr std::u16string_view kHost = VAQ_SERVICE_HOST;
constexpr uint16_t kPort = 443;
constexpr std::u16string_view kUserAgent = u"VAQ Online Installer/1.0";

constexpr uint32_t kResolveTimeoutMs = 10000;
constexpr uint32_t kConnectTimeoutMs = 15000;
constexpr uint32_t kSendTimeoutMs = 15000;
constexpr uint32_t kReceiveTimeoutMs = 60000;
constexpr uint32_t kReadChunk = 8192;

constexpr uint32_t kSuccessStatus = 200;
// Error replies may be larger than the caller's limit for a 200 reply.
constexpr uint32_t kErrorBodyLimit = 16384;

// Authorization: the code is exchanged for a grant.
constexpr std::u16string_view kAuthorizeVerb = u"POST";
constexpr std::u16string_view kAuthorizePath = u"/install/windows/authorize";
constexpr std::u16string_view kAuthorizeHeaders = u"Content-Type: application/json\r\n";
constexpr uint32_t kAuthorizeReplyLimit = 4096;
constexpr std::string_view kGrantMember = "grant";
// The body is these, with the four code digits between them: 15 bytes in all.
constexpr std::string_view kAuthorizeBodyHead = "{\"code\":\"";
constexpr std::string_view kAuthorizeBodyTail = "\"}";

// Bootstrap download with the grant.
constexpr std::u16string_view kBootstrapVerb = u"GET";
constexpr std::u16string_view kBootstrapPath = u"/install/bootstrap.ps1";
constexpr std::u16string_view kGrantHeaderName = u"X-VAQ-Install-Grant: ";
constexpr uint32_t kBootstrapLimit = 1048576;

}  // namespace vaq::service

namespace vaq {

// On false, context.failureText holds the text to show; response may hold part of a body.
using ServiceRequester =
    std::function<bool(SetupContext& context, std::u16string_view verb, std::u16string_view path,
                       std::u16string_view extraHeaders, std::string_view body,
                       SecretBytes& response, uint32_t limit)>;

}  // namespace vaq
