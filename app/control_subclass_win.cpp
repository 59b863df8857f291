#include "app/control_subclass_win.h"

#include <optional>
#include <string>

#include "app/accessibility_win.h"
#include "base/handles_win.h"
#include "base/setup_context.h"
#include "base/text.h"
#include "base/wide_win.h"

namespace vaq {

namespace {

HWND Box(int index) { return static_cast<HWND>(g_setup.digitBoxes[index]); }

bool ControlHeld() { return GetKeyState(VK_CONTROL) < 0; }

// The page, not the control, is what the user sees.
void RepaintPage(HWND control) { InvalidateRect(GetParent(control), nullptr, FALSE); }

bool ChangesTheLook(UINT message) {
  switch (message) {
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_MOUSEWHEEL:
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      return true;
    default:
      return false;
  }
}

// The digit model replaces the EDIT's own text input; nullopt for messages it leaves alone.
std::optional<LRESULT> DigitBoxMessage(HWND box, int index, UINT message, WPARAM wParam) {
  const bool verifying = g_setup.authorizeThread != nullptr;
  switch (message) {
    case WM_PASTE:
      if (!verifying) PasteDigits(box, index);
      return 0;
    case WM_CUT:
    case WM_COPY:
      return 0;
    case WM_KEYDOWN: {
      if (wParam == 'V' && ControlHeld()) {
        if (!verifying) PasteDigits(box, index);
        return 0;
      }
      BoxDigitSlots slots(GetParent(box));
      if (PressNavigationKey(slots, index, static_cast<uint32_t>(wParam))) return 0;
      return std::nullopt;
    }
    case WM_CHAR: {
      BoxDigitSlots slots(GetParent(box));
      TypeCharacter(g_setup, slots, index, static_cast<char16_t>(wParam));
      return 0;
    }
    default:
      return std::nullopt;
  }
}

// Screen readers get the boxes' names; Tab leaves the read-only error box, which as a
// multi-line EDIT would otherwise ask for every key.
std::optional<LRESULT> AccessibilityMessage(WNDPROC previous, HWND control, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
  if (message == WM_GETOBJECT) return AnswerGetObject(control, wParam, lParam);
  if (message != WM_GETDLGCODE || control != g_setup.errorEdit) return std::nullopt;
  const LRESULT code = CallWindowProcW(previous, control, message, wParam, lParam);
  const auto* asked = reinterpret_cast<const MSG*>(lParam);
  if (asked == nullptr || asked->message != WM_KEYDOWN || asked->wParam != VK_TAB) return code;
  return code & ~static_cast<LRESULT>(DLGC_WANTTAB | DLGC_WANTALLKEYS);
}

// An EDIT resets its margins to the font's on WM_SETFONT; the error box keeps those it was given.
LRESULT SetErrorBoxFont(WNDPROC previous, HWND control, WPARAM wParam, LPARAM lParam) {
  const LRESULT margins = CallWindowProcW(previous, control, EM_GETMARGINS, 0, 0);
  const LRESULT result = CallWindowProcW(previous, control, WM_SETFONT, wParam, lParam);
  CallWindowProcW(previous, control, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, margins);
  return result;
}

LRESULT CommonMessage(WNDPROC previous, HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SETFONT && control == g_setup.errorEdit) return SetErrorBoxFont(previous, control, wParam, lParam);
  if (message == WM_KEYDOWN && wParam == 'A' && ControlHeld() && control == g_setup.errorEdit) {
    SendMessageW(control, EM_SETSEL, 0, -1);
    RepaintPage(control);
    return 0;
  }
  if (message == WM_MOUSEMOVE) {
    if (g_setup.hotControl != control) {
      g_setup.hotControl = control;
      TRACKMOUSEEVENT leave = {sizeof(leave), TME_LEAVE, control, 0};
      TrackMouseEvent(&leave);
      RepaintPage(control);
    }
    const LRESULT result = CallWindowProcW(previous, control, message, wParam, lParam);
    // A selection is being dragged in the error box.
    if ((wParam & MK_LBUTTON) != 0 && control == g_setup.errorEdit) RepaintPage(control);
    return result;
  }
  if (message == WM_MOUSELEAVE) {
    if (g_setup.hotControl == control) {
      g_setup.hotControl = nullptr;
      RepaintPage(control);
    }
    return CallWindowProcW(previous, control, message, wParam, lParam);
  }
  const LRESULT result = CallWindowProcW(previous, control, message, wParam, lParam);
  if (ChangesTheLook(message)) RepaintPage(control);
  if (message == WM_NCDESTROY) {
    RemovePropW(control, kOriginalProcProperty);
    DisconnectAccessible(control);
    if (g_setup.hotControl == control) g_setup.hotControl = nullptr;
  }
  return result;
}

}  // namespace

int DigitBoxIndex(HWND control) {
  for (int i = 0; i < kDigitCount; ++i) {
    if (Box(i) == control) return i;
  }
  return -1;
}

bool InstallControlSubclass(HWND control) {
  if (control == nullptr) return false;
  const LONG_PTR previous = GetWindowLongPtrW(control, GWLP_WNDPROC);
  if (!SetPropW(control, kOriginalProcProperty, reinterpret_cast<HANDLE>(previous))) return false;
  SetLastError(0);
  const LONG_PTR replaced =
      SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ControlSubclassProc));
  if (replaced != 0 || GetLastError() == 0) return true;
  RemovePropW(control, kOriginalProcProperty);
  return false;
}

LRESULT CALLBACK ControlSubclassProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
  const auto previous = reinterpret_cast<WNDPROC>(GetPropW(control, kOriginalProcProperty));
  if (previous == nullptr) return DefWindowProcW(control, message, wParam, lParam);
  if (const std::optional<LRESULT> result = AccessibilityMessage(previous, control, message, wParam, lParam)) {
    return *result;
  }
  const int index = DigitBoxIndex(control);
  if (index >= 0) {
    if (const std::optional<LRESULT> result = DigitBoxMessage(control, index, message, wParam)) {
      return *result;
    }
  }
  return CommonMessage(previous, control, message, wParam, lParam);
}

void PasteDigits(HWND box, int index) {
  SecretText text;
  {
    ClipboardSession clipboard(box);
    if (!clipboard) return;
    const HANDLE block = GetClipboardData(CF_UNICODETEXT);
    const GlobalLockGuard locked(block);
    if (locked) {
      text = FilterPastedText(static_cast<const char16_t*>(locked.Data()), GlobalSize(block) / 2);
    }
  }
  BoxDigitSlots slots(GetParent(box));
  PlaceDigits(g_setup, slots, index, text.view());
}

char16_t BoxDigitSlots::FirstCharacter(int index) {
  wchar_t first[2] = {};
  GetWindowTextW(Box(index), first, 2);
  const char16_t character = static_cast<char16_t>(first[0]);
  SecureWipe(first, sizeof(first));
  return character;
}

void BoxDigitSlots::SetText(int index, std::u16string_view text) {
  SecretText terminated(text);
  terminated.push_back(u'\0');
  SetWindowTextW(Box(index), AsWide(terminated.data()));
}

void BoxDigitSlots::Focus(int index) { SetFocus(Box(index)); }

void BoxDigitSlots::PostSubmit() { PostMessageW(setupWindow_, WM_SETUP_SUBMIT_CODE, 0, 0); }

void BoxDigitSlots::RepaintPage() { InvalidateRect(setupWindow_, nullptr, FALSE); }

}  // namespace vaq
