#pragma once
// ServiceRequest over WinHTTP and the machine's CryptoAPI certificate stores.
#include "service/service_request.h"

namespace vaq {

bool ServiceRequest(SetupContext& context, std::u16string_view verb, std::u16string_view path,
                    std::u16string_view extraHeaders, const std::string& body, std::string& response,
                    uint32_t limit);

// The same request, as the callable the two workers take.
ServiceRequester WindowsServiceRequester();

}  // namespace vaq
