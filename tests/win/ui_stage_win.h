#pragma once
// A stand-in for the setup window, for the presentation tests and the gallery: a layered popup
// with the real child controls, whose window procedure is the setup window's presentation
// handler (painting, printing, hit tests, owner drawing, the error box colours, DPI changes).
#include <windows.h>

#include <string>

#include "base/setup_context.h"
#include "ui/surface.h"

namespace vaq::test {

struct StagePage {
  SetupState state = SetupState::Confirm;
  bool succeeded = false;
  bool startFailure = false;
  int digitsTyped = 0;       // code page: how many boxes hold a digit
  int focusedDigit = -1;     // code page: the box with the focus, -1 none
  bool verifying = false;    // code page: an authorization attempt runs
  std::u16string authorizeFailure;
  std::u16string failureText;
  std::u16string primaryCaption;
  int spinnerFrame = 0;
};

class Stage {
 public:
  Stage();
  ~Stage();
  Stage(const Stage&) = delete;
  Stage& operator=(const Stage&) = delete;

  HWND Window() const { return window_; }
  // Puts g_setup and the controls into the page's state, lays out at dpi and shows the window.
  bool Show(const StagePage& page, int dpi);
  // The picture WM_PRINTCLIENT gives, into a surface of the client size.
  bool Print(Surface& out);

 private:
  HWND window_ = nullptr;
};

}  // namespace vaq::test
