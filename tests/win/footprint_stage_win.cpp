// The installing page on the layered stand-in for the setup window, its spinner driven by the
// real timer through the state machine, until closed; scripts/footprint.sh measures its CPU.
#include <windows.h>

#include "app/setup_states.h"
#include "app/setup_window_win.h"
#include "tests/win/ui_stage_win.h"

int main() {
  vaq::test::Stage stage;
  vaq::test::StagePage page;
  page.state = vaq::SetupState::Installing;
  if (!stage.Show(page, 96)) return 1;
  vaq::WindowControls controls(stage.Window());
  controls.SetTimer(vaq::TIMER_SPINNER, vaq::TIMER_SPINNER_MS);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (message.message == WM_TIMER && message.hwnd == stage.Window()) {
      vaq::OnTimer(vaq::g_setup, controls, message.wParam);
      continue;
    }
    DispatchMessageW(&message);
  }
  return 0;
}
