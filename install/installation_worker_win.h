#pragma once
#include <windows.h>

namespace vaq {

// Thread entry of one installation. The parameter is the setup window (HWND); the worker posts
// WM_SETUP_INSTALL_DONE to it as its last act and returns 0.
DWORD WINAPI InstallationWorker(LPVOID window);

}  // namespace vaq
