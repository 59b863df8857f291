#include "app/setup_window_win.h"

#include <optional>
#include <string>

#include "app/accessibility_win.h"
#include "app/error_copy_win.h"
#include "app/window_presentation_win.h"
#include "base/handles_win.h"
#include "base/wide_win.h"
#include "install/install_platform_win.h"
#include "service/authorization_win.h"
#include "service/service_request_win.h"
#include "ui/layout_win.h"
#include "ui/page_win.h"

namespace vaq {

namespace {

HWND AsWindow(WindowHandle control) { return static_cast<HWND>(control); }

// Thread entry of one installation; the parameter is the setup window.
DWORD WINAPI InstallationWorker(LPVOID window) {
  WindowsInstallPlatform platform;
  // The script runs as administrator and nothing else tells a cut one from a whole one.
  RunInstallation(g_setup, window, platform, WindowsServiceRequester(LengthPromise::Required));
  return 0;
}

}  // namespace

void WindowControls::Show(WindowHandle control, bool visible) {
  ShowWindow(AsWindow(control), visible ? SW_SHOW : SW_HIDE);
}

void WindowControls::Enable(WindowHandle control, bool enabled) {
  EnableWindow(AsWindow(control), enabled ? TRUE : FALSE);
}

void WindowControls::SetText(WindowHandle control, std::u16string_view text) {
  SetWindowTextW(AsWindow(control), AsWide(std::u16string(text)));
}

void WindowControls::Focus(WindowHandle control) { SetFocus(AsWindow(control)); }

void WindowControls::RepaintControl(WindowHandle control) {
  InvalidateRect(AsWindow(control), nullptr, FALSE);
}

void WindowControls::RepaintWindow() { InvalidateRect(window_, nullptr, FALSE); }

void WindowControls::SetTimer(uintptr_t timerId, uint32_t periodMs) {
  ::SetTimer(window_, timerId, periodMs, nullptr);
}

void WindowControls::KillTimer(uintptr_t timerId) { ::KillTimer(window_, timerId); }

void WindowControls::DestroyWindow() { ::DestroyWindow(window_); }

void WindowControls::Post(uint32_t message, uintptr_t wParam) {
  PostMessageW(window_, message, wParam, 0);
}

ThreadHandle WindowControls::StartAuthorizationThread(AuthorizeRequest& request) {
  return CreateThread(nullptr, 0, AuthorizationWorker, &request, 0, nullptr);
}

bool WindowControls::StartInstallationThread(uint32_t& errorCode) {
  // Never joined: the worker's posted message is all the window waits for.
  const UniqueHandleKernel thread(CreateThread(nullptr, 0, InstallationWorker, window_, 0, nullptr));
  if (thread) return true;
  errorCode = GetLastError();
  return false;
}

void WindowControls::WaitAndCloseThread(ThreadHandle thread) {
  const UniqueHandleKernel owned(thread);
  WaitForSingleObject(owned.Get(), INFINITE);
}

bool WindowControls::Succeeded() { return OutcomeSucceeded(window_); }

void WindowControls::SetSucceeded(bool succeeded) {
  SetOutcome(window_, succeeded);
}

int WindowControls::GetWindowDpi() { return vaq::GetWindowDpi(window_); }

void WindowControls::ApplyDpiLayout(int dpi) { vaq::ApplyDpiLayout(dpi, window_, nullptr); }

bool WindowControls::CopyFailureText() { return vaq::CopyFailureText(g_setup, window_); }

LRESULT CALLBACK SetupWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WindowControls controls(window);
  switch (message) {
    case WM_COMMAND:
      OnCommand(g_setup, controls, LOWORD(wParam), HIWORD(wParam) == EN_CHANGE);
      return 0;
    case WM_TIMER:
      OnTimer(g_setup, controls, wParam);
      return 0;
    case WM_CLOSE:
      OnClose(g_setup, controls);
      return 0;
    case WM_SETUP_SUBMIT_CODE:
      StartVerification(g_setup, controls, window);
      return 0;
    case WM_SETUP_AUTHORIZE_DONE:
      OnAuthorizeDone(g_setup, controls);
      return 0;
    case WM_SETUP_INSTALL_DONE:
      OnInstallDone(g_setup, controls, wParam != 0);
      return 0;
    case WM_GETOBJECT:
      if (const std::optional<LRESULT> answer = AnswerGetObject(window, wParam, lParam)) return *answer;
      break;
    case WM_PAINT:
      // Screen readers hear of what the frame shows, not of the steps that led there.
      AnnouncePageChanges(window);
      break;
    case WM_NCDESTROY:
      DisconnectAccessible(window);
      break;
    default:
      break;
  }
  LRESULT result = 0;
  if (HandlePresentationMessage(window, message, wParam, lParam, result)) return result;
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace vaq
