#include "service/authorization.h"

#include <nlohmann/json.hpp>

#include "app/secret.h"
#include "app/text.h"
#include "service/service_contract.h"

namespace vaq {
namespace {

// The reply holds the grant: the document's strings and the parser's token buffer wipe
// themselves too.
using SecretJson = nlohmann::basic_json<std::map, std::vector, WipedString<char>>;

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
  const SecretJson document =
      SecretJson::parse(reply.data(), reply.data() + reply.size(), nullptr, true, false);
  const WipedString<char>& grant =
      document.at(service::kGrantMember).get_ref<const WipedString<char>&>();
  if (!IsInstallGrant(std::string_view(grant.data(), grant.size()))) {
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
