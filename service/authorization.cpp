#include "service/authorization.h"

#include <nlohmann/json.hpp>

#include "base/heap_wipe.h"
#include "base/secret.h"
#include "base/service_contract.h"
#include "base/text.h"

namespace vaq {
namespace {

void Exchange(SetupContext& context, AuthorizeRequest& request,
              const ServiceRequester& serviceRequest) {
  SecretBytes reply;
  if (!serviceRequest(context, service::kAuthorizeVerb, service::kAuthorizePath,
                      service::kAuthorizeHeaders, request.body.view(), reply,
                      service::kAuthorizeReplyLimit)) {
    request.failureText = context.failureText;
    return;
  }
  // Strict: one JSON text, no comments; a missing member or a non-string value throws.
  const nlohmann::json document =
      nlohmann::json::parse(reply.data(), reply.data() + reply.size(), nullptr, true, false);
  const std::string& grant = document.at(service::kGrantMember).get_ref<const std::string&>();
  if (!IsInstallGrant(std::string_view(grant))) {
    request.failureText = u"中心返回的安装授权无效，请联系管理员。";
    return;
  }
  // Widened unit by unit into the owner: WidenAscii would leave a plain copy behind.
  request.grant.clear();
  for (const char c : grant) request.grant.push_back(static_cast<char16_t>(c));
}

}  // namespace

void ExchangeCodeForGrant(SetupContext& context, AuthorizeRequest& request,
                          const ServiceRequester& serviceRequest) noexcept {
  // The parser's buffers and messages, and the document's strings, hold the grant.
  const HeapWipe wipe;
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
  request.body.clear();
}

}  // namespace vaq
