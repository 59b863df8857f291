#pragma once
// The one record of a setup run, shared by the window thread and the two workers. There are
// no locks: ownership passes by thread start, one posted message per worker and, for the
// authorization, a wait on the worker's thread (see the workers for the hand-over rules).
#include <cstdint>
#include <string>

#include "base/secret.h"

namespace vaq {

// Opaque system handles, so that the portable core never sees <windows.h>.
using WindowHandle = void*;
using ThreadHandle = void*;
using BrushHandle = void*;

enum class SetupState : int32_t { EnterCode = -1, Confirm = 0, Installing = 1, Finished = 2 };

// Private window messages (WM_APP + n); all carry lParam 0.
constexpr uint32_t WM_SETUP_INSTALL_DONE = 0x8001;    // wParam 1 success, 0 failure
constexpr uint32_t WM_SETUP_AUTHORIZE_DONE = 0x8002;  // wParam 0
constexpr uint32_t WM_SETUP_SUBMIT_CODE = 0x8003;     // wParam 0

constexpr uintptr_t TIMER_COUNTDOWN = 1;
constexpr uint32_t TIMER_COUNTDOWN_MS = 1000;
constexpr uintptr_t TIMER_SPINNER = 2;
constexpr uint32_t TIMER_SPINNER_MS = 40;

constexpr int IDC_PRIMARY = 1;
constexpr int IDC_CANCEL = 2;
constexpr int IDC_COPY_ERROR = 3;
constexpr int IDC_DIGIT_FIRST = 10;
constexpr int kDigitCount = 4;

struct AuthorizeRequest {
  WindowHandle window = nullptr;
  SecretBytes body;  // holds the code
  SecretText grant;
  std::u16string failureText;
};

struct SetupContext {
  SetupContext() = default;
  SetupContext(const SetupContext&) = delete;
  SetupContext& operator=(const SetupContext&) = delete;

  int32_t layoutDpi = 96;
  int32_t countdown = 3;
  SecretText grant;
  std::u16string failureText;
  AuthorizeRequest authorizeRequest;
  ThreadHandle authorizeThread = nullptr;
  bool startFailure = false;
  SetupState state = SetupState::Confirm;
  WindowHandle digitBoxes[kDigitCount] = {};
  WindowHandle primaryButton = nullptr;
  WindowHandle cancelButton = nullptr;
  WindowHandle copyButton = nullptr;
  WindowHandle hotControl = nullptr;
  WindowHandle errorEdit = nullptr;
  BrushHandle editBrush = nullptr;
  int32_t spinnerFrame = 0;
};

// The process-wide record used by the program; tests make their own.
extern SetupContext g_setup;

}  // namespace vaq
