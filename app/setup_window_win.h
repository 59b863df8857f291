#pragma once
// The setup window's procedure and the controls the state machine drives through it.
#include <windows.h>

#include "app/control_subclass_win.h"
#include "app/setup_states.h"

namespace vaq {

// The real setup window, its child controls (from g_setup) and the two workers.
class WindowControls : public SetupControls {
 public:
  explicit WindowControls(HWND window) : window_(window), digitBoxes_(window) {}
  void Show(WindowHandle control, bool visible) override;
  void Enable(WindowHandle control, bool enabled) override;
  void SetText(WindowHandle control, std::u16string_view text) override;
  void Focus(WindowHandle control) override;
  void RepaintControl(WindowHandle control) override;
  void RepaintWindow() override;
  void SetTimer(uintptr_t timerId, uint32_t periodMs) override;
  void KillTimer(uintptr_t timerId) override;
  void DestroyWindow() override;
  void Post(uint32_t message, uintptr_t wParam) override;
  ThreadHandle StartAuthorizationThread(AuthorizeRequest& request) override;
  bool StartInstallationThread(uint32_t& errorCode) override;
  void WaitAndCloseThread(ThreadHandle thread) override;
  bool Succeeded() override;
  void SetSucceeded(bool succeeded) override;
  int GetWindowDpi() override;
  void ApplyDpiLayout(int dpi) override;
  bool CopyFailureText() override;
  DigitSlots& DigitBoxes() override { return digitBoxes_; }

 private:
  HWND window_;
  BoxDigitSlots digitBoxes_;
};

LRESULT CALLBACK SetupWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace vaq
