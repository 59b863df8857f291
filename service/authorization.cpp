#include "service/authorization.h"

#include <nlohmann/json.hpp>

#include "app/text.h"
#include "service/service_contract.h"

namespace vaq {
namespace {

void Exchange(SetupContext& context, AuthorizeRequest& request,
              const ServiceRequester& serviceRequest) {
  std::string reply;
  if (!serviceRequest(context, service::kAuthorizeVerb, service::kAuthorizePath,
                      service::kAuthorizeHeaders, request.body, reply,
                      service::kAuthorizeReplyLimit)) {
    request.failureText = context.failureText;
    return;
  }
  // Strict: one JSON text, no comments; a missing member or a non-string value throws.
  const std::string grant = nlohmann::json::parse(reply, nullptr, true, false)
                                .at(service::kGrantMember)
                                .get<std::string>();
  if (!IsInstallGrant(std::string_view(grant))) {
    request.failureText = u"中心返回的安装授权无效，请联系管理员。";
    return;
  }
  request.grant = WidenAscii(grant);
}

}  // namespace

void ExchangeCodeForGrant(SetupContext& context, AuthorizeRequest& request,
                          const ServiceRequester& serviceRequest) noexcept {
  try {
    Exchange(context, request, serviceRequest);
  } catch (...) {
    // Even the text may not fit in memory; the body must still be wiped and the window told.
    try {
      request.failureText = u"无法读取安装授权，请联系管理员。";
    } catch (...) {
      request.failureText.clear();
    }
  }
  SecureWipe(request.body);
}

}  // namespace vaq
