#pragma once
// The setup window's child controls are real system controls kept for focus and input only:
// each is subclassed so that the digit boxes take their text from the digit model, and so that
// every change of a control's look asks the setup window to compose its page again.
#include <windows.h>

#include "app/digit_entry.h"

namespace vaq {

// The window property that keeps a subclassed control's previous window procedure.
constexpr wchar_t kOriginalProcProperty[] = L"VAQ.Setup.OriginalProc";

bool InstallControlSubclass(HWND control);

// The position of a code box among g_setup's four, or -1 for any other control.
int DigitBoxIndex(HWND control);
LRESULT CALLBACK ControlSubclassProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam);

// Offers the clipboard's Unicode text to the digit model, from box index on.
void PasteDigits(HWND box, int index);

// g_setup's four digit boxes; submissions and repaint requests go to the setup window.
class BoxDigitSlots : public DigitSlots {
 public:
  explicit BoxDigitSlots(HWND setupWindow) : setupWindow_(setupWindow) {}
  char16_t FirstCharacter(int index) override;
  void SetText(int index, std::u16string_view text) override;
  void Focus(int index) override;
  void PostSubmit() override;
  void RepaintPage() override;

 private:
  HWND setupWindow_;
};

}  // namespace vaq
