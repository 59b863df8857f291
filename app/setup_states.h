#pragma once
// The state machine of the setup window: its reactions to the buttons, the two timers, the
// close request and the three private messages. Every effect goes through SetupControls, so
// the logic runs the same against the real window and against a test's substitute.
#include <cstdint>
#include <string_view>

#include "app/digit_entry.h"
#include "base/setup_context.h"

namespace vaq {

// What the state handlers do to the setup window, its child controls and the two workers.
// Controls are named by their handles in SetupContext.
class SetupControls {
 public:
  virtual ~SetupControls() = default;
  virtual void Show(WindowHandle control, bool visible) = 0;
  virtual void Enable(WindowHandle control, bool enabled) = 0;
  virtual void SetText(WindowHandle control, std::u16string_view text) = 0;
  virtual void Focus(WindowHandle control) = 0;
  virtual void RepaintControl(WindowHandle control) = 0;
  virtual void RepaintWindow() = 0;
  virtual void SetTimer(uintptr_t timerId, uint32_t periodMs) = 0;
  virtual void KillTimer(uintptr_t timerId) = 0;
  virtual void DestroyWindow() = 0;
  virtual void Post(uint32_t message, uintptr_t wParam) = 0;
  // The AuthorizationWorker on request; null when the thread cannot be created.
  virtual ThreadHandle StartAuthorizationThread(AuthorizeRequest& request) = 0;
  // The InstallationWorker, never joined; false with the system's error code when it cannot start.
  virtual bool StartInstallationThread(uint32_t& errorCode) = 0;
  virtual void WaitAndCloseThread(ThreadHandle thread) = 0;
  // The outcome flag `succeeded`, kept in the window's user data.
  virtual bool Succeeded() = 0;
  virtual void SetSucceeded(bool succeeded) = 0;
  virtual int GetWindowDpi() = 0;
  virtual void ApplyDpiLayout(int dpi) = 0;
  virtual bool CopyFailureText() = 0;
  // The four code boxes, for reading and emptying them.
  virtual DigitSlots& DigitBoxes() = 0;
};

constexpr std::u16string_view kCaptionClose = u"关闭";
constexpr std::u16string_view kCaptionCopied = u"已复制";
constexpr std::u16string_view kCaptionCopyFailed = u"复制失败";
constexpr std::u16string_view kNoFailureDetailText =
    u"安装未完成，未收到详细错误。请联系管理员检查安装环境。";
constexpr std::u16string_view kInstallThreadFailureText = u"无法启动安装工作线程";
constexpr std::u16string_view kVerificationStartFailureText = u"无法开始验证，请重试。";
constexpr int32_t kConfirmCountdown = 3;
constexpr int32_t kSuccessCountdown = 6;
constexpr int32_t kSpinnerFrames = 72;

void UpdatePrimaryCaption(SetupContext& context, SetupControls& controls);
void StartInstallation(SetupContext& context, SetupControls& controls);
// WM_SETUP_SUBMIT_CODE: hands the boxes' code to the AuthorizationWorker, which reports to window.
void StartVerification(SetupContext& context, SetupControls& controls, WindowHandle window);

// WM_COMMAND: controlId is the low word of wParam; editChanged is true for EN_CHANGE.
void OnCommand(SetupContext& context, SetupControls& controls, int controlId, bool editChanged);
void OnTimer(SetupContext& context, SetupControls& controls, uintptr_t timerId);
void OnClose(SetupContext& context, SetupControls& controls);
void OnAuthorizeDone(SetupContext& context, SetupControls& controls);
void OnInstallDone(SetupContext& context, SetupControls& controls, bool succeeded);

// The process exit code once the message loop has ended.
int RunExitCode(const SetupContext& context);

}  // namespace vaq
