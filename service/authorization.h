#pragma once
// The worker's half of the code-for-grant exchange, apart from the thread and the message.
#include "base/setup_context.h"
#include "service/service_request.h"

namespace vaq {

// Posts request.body to the authorization endpoint through serviceRequest and validates the
// grant in the reply: on success request.grant holds it, otherwise request.failureText says why.
// request.body is wiped on every path; no exception leaves.
void ExchangeCodeForGrant(SetupContext& context, AuthorizeRequest& request,
                          const ServiceRequester& serviceRequest) noexcept;

}  // namespace vaq
