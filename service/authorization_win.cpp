#include "service/authorization_win.h"

#include "service/authorization.h"
#include "service/service_request_win.h"

namespace vaq {

DWORD WINAPI AuthorizationWorker(LPVOID authorizeRequest) {
  AuthorizeRequest& request = *static_cast<AuthorizeRequest*>(authorizeRequest);
  // A cut reply fails the strict parse; a service may well send its answer chunked.
  ExchangeCodeForGrant(g_setup, request, WindowsServiceRequester(LengthPromise::Optional));
  PostMessageW(static_cast<HWND>(request.window), WM_SETUP_AUTHORIZE_DONE, 0, 0);
  return 0;
}

}  // namespace vaq
