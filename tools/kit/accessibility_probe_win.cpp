// Tells whether this Wine (or Windows) has the standard accessibility proxy: a plain window of
// this program's own class asks for its client object, as the installer does for its windows.
// Exit 0 when the proxy answers; otherwise 1, with the HRESULT on standard error. The test
// command uses it to skip, with the reason, what a host's Wine cannot serve at all.
#include <windows.h>
#include <oleacc.h>

#include <cstdio>

int wmain() {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = DefWindowProcW;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = L"VaqAccessibilityProbe";
  if (RegisterClassW(&windowClass) == 0) return 2;
  const HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"probe", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                      nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return 2;
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  IAccessible* proxy = nullptr;
  const HRESULT result =
      CreateStdAccessibleObject(window, OBJID_CLIENT, __uuidof(IAccessible), reinterpret_cast<void**>(&proxy));
  if (proxy != nullptr) proxy->Release();
  DestroyWindow(window);
  CoUninitialize();
  if (FAILED(result)) {
    std::fprintf(stderr, "CreateStdAccessibleObject: HRESULT 0x%08lX\n", static_cast<unsigned long>(result));
    return 1;
  }
  return 0;
}
