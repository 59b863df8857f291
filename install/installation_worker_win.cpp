#include "install/installation_worker_win.h"

#include "app/setup_context.h"
#include "install/install_platform_win.h"
#include "service/service_request_win.h"

namespace vaq {

DWORD WINAPI InstallationWorker(LPVOID window) {
  WindowsInstallPlatform platform;
  // The script runs as administrator and nothing else tells a cut one from a whole one.
  RunInstallation(g_setup, window, platform, WindowsServiceRequester(LengthPromise::Required));
  return 0;
}

}  // namespace vaq
