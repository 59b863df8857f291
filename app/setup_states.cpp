#include "app/setup_states.h"

#include <string>

#include "base/failure_text.h"
#include "base/service_contract.h"
#include "base/text.h"

namespace vaq {

namespace {

void HideDigitBoxes(SetupContext& context, SetupControls& controls) {
  for (WindowHandle box : context.digitBoxes) controls.Show(box, false);
}

void EnableDigitBoxes(SetupContext& context, SetupControls& controls, bool enabled) {
  for (WindowHandle box : context.digitBoxes) controls.Enable(box, enabled);
}

}  // namespace

void UpdatePrimaryCaption(SetupContext& context, SetupControls& controls) {
  std::u16string caption;
  if (context.state == SetupState::Finished && context.countdown < 0) {
    caption = kCaptionClose;
  } else {
    caption = context.state == SetupState::Confirm ? u"继续（" : u"关闭（";
    caption += DecimalText(static_cast<uint32_t>(context.countdown));
    caption += u" 秒）";
  }
  controls.SetText(context.primaryButton, caption);
  controls.RepaintControl(context.primaryButton);
  controls.RepaintWindow();
}

void StartInstallation(SetupContext& context, SetupControls& controls) {
  if (context.state != SetupState::Confirm) return;
  context.state = SetupState::Installing;
  controls.KillTimer(TIMER_COUNTDOWN);
  controls.SetTimer(TIMER_SPINNER, TIMER_SPINNER_MS);
  controls.Show(context.primaryButton, false);
  controls.Show(context.cancelButton, false);
  controls.RepaintWindow();

  uint32_t errorCode = 0;
  if (controls.StartInstallationThread(errorCode)) return;
  SetWindowsFailure(context, kInstallThreadFailureText, errorCode);
  controls.Post(WM_SETUP_INSTALL_DONE, 0);
}

void StartVerification(SetupContext& context, SetupControls& controls, WindowHandle window) {
  if (context.state != SetupState::EnterCode || context.authorizeThread != nullptr) return;
  const SecretBytes code = ReadCode(controls.DigitBoxes());
  if (code.empty()) return;

  AuthorizeRequest& request = context.authorizeRequest;
  request.window = window;
  request.body.assign(service::kAuthorizeBodyHead);
  request.body.append(code.view()).append(service::kAuthorizeBodyTail);
  request.failureText.clear();

  context.authorizeThread = controls.StartAuthorizationThread(request);
  if (context.authorizeThread != nullptr) {
    EnableDigitBoxes(context, controls, false);
    controls.Enable(context.cancelButton, false);
  } else {
    request.body.clear();
    request.failureText = kVerificationStartFailureText;
  }
  controls.RepaintWindow();
}

void OnCommand(SetupContext& context, SetupControls& controls, int controlId, bool editChanged) {
  const SetupState state = context.state;
  if (controlId == IDC_CANCEL) {
    if (state == SetupState::Confirm ||
        (state == SetupState::EnterCode && context.authorizeThread == nullptr)) {
      controls.DestroyWindow();
    }
  } else if (controlId == IDC_PRIMARY) {
    if (state == SetupState::Finished) {
      controls.DestroyWindow();
    } else if (state == SetupState::Confirm) {
      StartInstallation(context, controls);
    }
  } else if (controlId == IDC_COPY_ERROR) {
    if (state == SetupState::Finished && !controls.Succeeded()) {
      const bool copied = controls.CopyFailureText();
      controls.SetText(context.copyButton, copied ? kCaptionCopied : kCaptionCopyFailed);
      controls.RepaintWindow();
    }
  }
  if (editChanged && context.state == SetupState::EnterCode) controls.RepaintWindow();
}

void OnTimer(SetupContext& context, SetupControls& controls, uintptr_t timerId) {
  if (timerId == TIMER_SPINNER) {
    if (context.state != SetupState::Installing) return;
    context.spinnerFrame = (context.spinnerFrame + 1) % kSpinnerFrames;
    controls.RepaintWindow();
    return;
  }
  if (timerId != TIMER_COUNTDOWN) return;
  const int32_t c = context.countdown;
  if (context.state == SetupState::Confirm) {
    context.countdown = c - 1;
    if (c < 2) {
      StartInstallation(context, controls);
    } else {
      UpdatePrimaryCaption(context, controls);
    }
  } else if (context.state == SetupState::Finished && c >= 0) {
    context.countdown = c - 1;
    if (c <= 1) {
      controls.DestroyWindow();
    } else {
      UpdatePrimaryCaption(context, controls);
    }
  }
}

void OnClose(SetupContext& context, SetupControls& controls) {
  if (context.state == SetupState::Installing || context.authorizeThread != nullptr) return;
  controls.DestroyWindow();
}

void OnAuthorizeDone(SetupContext& context, SetupControls& controls) {
  if (context.state != SetupState::EnterCode || context.authorizeThread == nullptr) return;
  controls.WaitAndCloseThread(context.authorizeThread);
  context.authorizeThread = nullptr;

  DigitSlots& boxes = controls.DigitBoxes();
  for (int i = 0; i < kDigitCount; ++i) boxes.SetText(i, u"");
  controls.Enable(context.cancelButton, true);

  AuthorizeRequest& request = context.authorizeRequest;
  if (!request.grant.empty()) {
    context.grant = std::move(request.grant);
    HideDigitBoxes(context, controls);
    context.state = SetupState::Confirm;
    context.countdown = kConfirmCountdown;
    controls.ApplyDpiLayout(controls.GetWindowDpi());
    UpdatePrimaryCaption(context, controls);
    controls.Show(context.primaryButton, true);
    controls.Focus(context.primaryButton);
    controls.SetTimer(TIMER_COUNTDOWN, TIMER_COUNTDOWN_MS);
    return;
  }
  EnableDigitBoxes(context, controls, true);
  controls.Focus(context.digitBoxes[0]);
  controls.RepaintWindow();
}

void OnInstallDone(SetupContext& context, SetupControls& controls, bool succeeded) {
  controls.KillTimer(TIMER_COUNTDOWN);
  controls.KillTimer(TIMER_SPINNER);
  context.state = SetupState::Finished;
  context.countdown = succeeded ? kSuccessCountdown : -1;
  controls.SetSucceeded(succeeded);
  controls.Show(context.cancelButton, false);
  if (succeeded) {
    controls.Show(context.errorEdit, false);
    controls.Show(context.copyButton, false);
  } else {
    controls.SetText(context.errorEdit, WithCrLfBreaks(context.failureText.empty() ? kNoFailureDetailText
                                                                                   : context.failureText));
    controls.Show(context.errorEdit, true);
    controls.Show(context.copyButton, true);
  }
  controls.ApplyDpiLayout(context.layoutDpi);
  controls.Show(context.primaryButton, true);
  controls.Focus(context.primaryButton);
  UpdatePrimaryCaption(context, controls);
  controls.RepaintWindow();
  if (succeeded) controls.SetTimer(TIMER_COUNTDOWN, TIMER_COUNTDOWN_MS);
}

int RunExitCode(const SetupContext& context) {
  return context.state == SetupState::EnterCode || context.startFailure ? 1 : 0;
}

}  // namespace vaq
