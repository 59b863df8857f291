#pragma once
// ServiceRequest over WinHTTP and the machine's CryptoAPI certificate stores.
#include "service/service_request.h"

namespace vaq {

bool ServiceRequest(SetupContext& context, std::u16string_view verb, std::u16string_view path,
                    std::u16string_view extraHeaders, std::string_view body, SecretBytes& response,
                    uint32_t limit, LengthPromise lengthPromise = LengthPromise::Optional);

// The same request, as the callable the two workers take.
ServiceRequester WindowsServiceRequester(LengthPromise lengthPromise);

}  // namespace vaq
