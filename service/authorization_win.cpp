#include "service/authorization_win.h"

#include "service/authorization.h"
#include "service/service_request_win.h"

namespace vaq {

DWORD WINAPI AuthorizationWorker(LPVOID authorizeRequest) {
  AuthorizeRequest& request = *static_cast<AuthorizeRequest*>(authorizeRequest);
  const ServiceRequester serviceRequest = [](SetupContext& context, std::u16string_view verb,
                                             std::u16string_view path,
                                             std::u16string_view extraHeaders,
                                             const std::string& body, std::string& response,
                                             uint32_t limit) {
    return ServiceRequest(context, verb, path, extraHeaders, body, response, limit);
  };
  ExchangeCodeForGrant(g_setup, request, serviceRequest);
  PostMessageW(static_cast<HWND>(request.window), WM_SETUP_AUTHORIZE_DONE, 0, 0);
  return 0;
}

}  // namespace vaq
