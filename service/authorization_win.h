#pragma once
#include <windows.h>

namespace vaq {

// Thread entry of the code-for-grant exchange. The parameter is &g_setup.authorizeRequest; the
// worker posts WM_SETUP_AUTHORIZE_DONE to its window as its last act and returns 0.
DWORD WINAPI AuthorizationWorker(LPVOID authorizeRequest);

}  // namespace vaq
