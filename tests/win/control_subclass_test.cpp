// The subclassed child controls on real EDIT controls, with the real clipboard.
#include "app/control_subclass_win.h"

#include <gtest/gtest.h>

#include <string>

#include "base/handles_win.h"
#include "base/setup_context.h"
#include "base/wide_win.h"

namespace vaq {
namespace {

int g_submits = 0;

LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SETUP_SUBMIT_CODE) {
    ++g_submits;
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

// Records, at the control's end, whether the subclass removed its property.
WNDPROC g_beneath = nullptr;
bool g_propertyGoneAtEnd = false;
LRESULT CALLBACK OuterProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
  const LRESULT result = CallWindowProcW(g_beneath, control, message, wParam, lParam);
  if (message == WM_NCDESTROY) g_propertyGoneAtEnd = GetPropW(control, kOriginalProcProperty) == nullptr;
  return result;
}

void SetClipboardUnits(HWND owner, const std::u16string& units) {
  ClipboardSession clipboard(owner);
  ASSERT_TRUE(clipboard);
  ASSERT_TRUE(EmptyClipboard());
  const HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, units.size() * sizeof(char16_t));
  ASSERT_NE(block, nullptr);
  {
    const GlobalLockGuard locked(block);
    memcpy(locked.Data(), units.data(), units.size() * sizeof(char16_t));
  }
  ASSERT_NE(SetClipboardData(CF_UNICODETEXT, block), nullptr);
}

std::u16string ClipboardText(HWND owner) {
  ClipboardSession clipboard(owner);
  const GlobalLockGuard locked(GetClipboardData(CF_UNICODETEXT));
  return locked ? std::u16string(static_cast<const char16_t*>(locked.Data())) : u"";
}

std::u16string Text(HWND control) {
  wchar_t text[64] = {};
  GetWindowTextW(control, text, 64);
  return AsU16(text);
}

void PumpMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
}

// Sends a key with Ctrl held in this thread's keyboard state.
void SendCtrlKey(HWND control, WPARAM key) {
  BYTE keys[256];
  GetKeyboardState(keys);
  const BYTE previous = keys[VK_CONTROL];
  keys[VK_CONTROL] = 0x80;
  SetKeyboardState(keys);
  SendMessageW(control, WM_KEYDOWN, key, 0);
  keys[VK_CONTROL] = previous;
  SetKeyboardState(keys);
}

class ControlSubclass : public ::testing::Test {
 protected:
  HWND parent = nullptr;
  HWND boxes[kDigitCount] = {};
  HWND errorEdit = nullptr;

  void SetUp() override {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = ParentProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"VaqSubclassTestParent";
    RegisterClassW(&windowClass);
    parent = CreateWindowExW(0, windowClass.lpszClassName, L"test", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                             0, 0, 400, 200, nullptr, nullptr, windowClass.hInstance, nullptr);
    ASSERT_NE(parent, nullptr);
    for (int i = 0; i < kDigitCount; ++i) {
      boxes[i] = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_CENTER, 10 + 40 * i, 10, 30,
                                 30, parent, reinterpret_cast<HMENU>(INT_PTR{IDC_DIGIT_FIRST + i}),
                                 nullptr, nullptr);
      ASSERT_TRUE(InstallControlSubclass(boxes[i]));
      g_setup.digitBoxes[i] = boxes[i];
    }
    errorEdit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_MULTILINE | ES_READONLY,
                                10, 60, 300, 60, parent, nullptr, nullptr, nullptr);
    ASSERT_TRUE(InstallControlSubclass(errorEdit));
    g_setup.errorEdit = errorEdit;
    SetFocus(boxes[0]);
    PumpMessages();
    g_submits = 0;
  }

  void TearDown() override {
    DestroyWindow(parent);
    PumpMessages();
    for (auto& box : g_setup.digitBoxes) box = nullptr;
    g_setup.errorEdit = nullptr;
    g_setup.authorizeThread = nullptr;
    g_setup.hotControl = nullptr;
  }

  std::u16string Joined() {
    std::u16string all;
    for (HWND box : boxes) {
      const std::u16string text = Text(box);
      all += text.empty() ? u"_" : text;
    }
    return all;
  }
};

TEST_F(ControlSubclass, KeepsThePreviousProcedureInTheProperty) {
  const HWND edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD, 0, 0, 10, 10, parent, nullptr, nullptr, nullptr);
  const LONG_PTR editProc = GetWindowLongPtrW(edit, GWLP_WNDPROC);
  ASSERT_TRUE(InstallControlSubclass(edit));
  EXPECT_EQ(reinterpret_cast<LONG_PTR>(GetPropW(edit, kOriginalProcProperty)), editProc);
  EXPECT_EQ(GetWindowLongPtrW(edit, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(&ControlSubclassProc));
  EXPECT_FALSE(InstallControlSubclass(nullptr));

  g_beneath = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&OuterProc)));
  g_setup.hotControl = edit;
  g_propertyGoneAtEnd = false;
  DestroyWindow(edit);
  EXPECT_TRUE(g_propertyGoneAtEnd);
  EXPECT_EQ(g_setup.hotControl, nullptr);
}

TEST_F(ControlSubclass, TypedCharactersReachOnlyTheDigitModel) {
  for (wchar_t c : {L'a', L'-', L' ', L'\x4E00'}) SendMessageW(boxes[0], WM_CHAR, c, 0);
  EXPECT_EQ(Joined(), u"____");
  for (wchar_t c : {L'3', L'1', L'4', L'1'}) {
    PumpMessages();
    EXPECT_EQ(g_submits, 0);
    SendMessageW(GetFocus(), WM_CHAR, c, 0);
  }
  PumpMessages();
  EXPECT_EQ(Joined(), u"3141");
  EXPECT_EQ(GetFocus(), boxes[3]);
  EXPECT_EQ(g_submits, 1);

  PostMessageW(boxes[3], WM_CHAR, 8, 0);
  PostMessageW(boxes[3], WM_CHAR, 8, 0);
  PumpMessages();
  EXPECT_EQ(Joined(), u"31__");
  EXPECT_EQ(GetFocus(), boxes[2]);
}

TEST_F(ControlSubclass, KeystrokesThroughTheMessageLoopFillTheBoxes) {
  SetForegroundWindow(parent);
  SetFocus(boxes[0]);
  PumpMessages();
  if (GetForegroundWindow() != parent) GTEST_SKIP() << "the display gives the window no keyboard";
  for (BYTE key : {BYTE{'A'}, BYTE{'2'}, BYTE{'7'}, BYTE{VK_BACK}, BYTE{'8'}, BYTE{'1'}, BYTE{'9'}}) {
    INPUT strokes[2] = {};
    strokes[0].type = strokes[1].type = INPUT_KEYBOARD;
    strokes[0].ki.wVk = strokes[1].ki.wVk = key;
    strokes[1].ki.dwFlags = KEYEVENTF_KEYUP;
    ASSERT_EQ(SendInput(2, strokes, sizeof(INPUT)), 2u);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  EXPECT_EQ(Joined(), u"2819");
  EXPECT_EQ(g_submits, 1);
}

TEST_F(ControlSubclass, CtrlVPastesFromTheClipboardIntoTheBoxes) {
  ASSERT_NO_FATAL_FAILURE(SetClipboardUnits(parent, std::u16string(u" 1234\r\n") + u'\0'));
  SendCtrlKey(boxes[2], 'V');
  PumpMessages();
  EXPECT_EQ(Joined(), u"1234");
  EXPECT_EQ(g_submits, 1);
}

TEST_F(ControlSubclass, PastesThatAreTooLongOrComeDuringAVerificationChangeNothing) {
  ASSERT_NO_FATAL_FAILURE(SetClipboardUnits(parent, u"1234" + std::u16string(28, u' ') + u'\0'));
  SendMessageW(boxes[0], WM_PASTE, 0, 0);
  ASSERT_NO_FATAL_FAILURE(SetClipboardUnits(parent, std::u16string(u"56") + u'\0'));
  g_setup.authorizeThread = parent;
  SendCtrlKey(boxes[2], 'V');
  SendMessageW(boxes[2], WM_PASTE, 0, 0);
  g_setup.authorizeThread = nullptr;
  PumpMessages();
  EXPECT_EQ(Joined(), u"____");
  SendMessageW(boxes[2], WM_PASTE, 0, 0);
  EXPECT_EQ(Joined(), u"__56");
  EXPECT_EQ(g_submits, 0);
}

TEST_F(ControlSubclass, NothingIsCutOrCopiedFromABox) {
  SendMessageW(boxes[1], WM_CHAR, L'7', 0);
  ASSERT_NO_FATAL_FAILURE(SetClipboardUnits(parent, std::u16string(u"x") + u'\0'));
  SendMessageW(boxes[1], EM_SETSEL, 0, -1);
  SendMessageW(boxes[1], WM_COPY, 0, 0);
  SendMessageW(boxes[1], WM_CUT, 0, 0);
  EXPECT_EQ(ClipboardText(parent), u"x");
  EXPECT_EQ(Text(boxes[1]), u"7");
}

TEST_F(ControlSubclass, CtrlASelectsTheWholeErrorText) {
  SetWindowTextW(errorEdit, L"安装失败\r\n第二行");
  SendCtrlKey(errorEdit, 'A');
  DWORD start = 1, end = 0;
  SendMessageW(errorEdit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 0u);
  EXPECT_EQ(end, static_cast<DWORD>(GetWindowTextLengthW(errorEdit)));
}

// The dialog manager moves the focus on Tab only when the focused control does not ask for it;
// a multi-line EDIT asks for every key.
TEST_F(ControlSubclass, TabIsLeftToTheDialogManagerInTheErrorBox) {
  const HWND plain = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | ES_MULTILINE | ES_READONLY, 0, 0, 10, 10, parent,
                                     nullptr, nullptr, nullptr);
  const struct {
    HWND control;
    WPARAM key;
    bool asksForIt;
  } cases[] = {{errorEdit, VK_TAB, false}, {errorEdit, 'A', true}, {plain, VK_TAB, true}};
  for (const auto& c : cases) {
    MSG key = {c.control, WM_KEYDOWN, c.key, 0, 0, {}};
    const LRESULT code = SendMessageW(c.control, WM_GETDLGCODE, c.key, reinterpret_cast<LPARAM>(&key));
    EXPECT_EQ((code & (DLGC_WANTTAB | DLGC_WANTALLKEYS)) != 0, c.asksForIt) << c.key;
    EXPECT_NE(code & DLGC_HASSETSEL, 0) << "selection stays the box's own";
  }
}

TEST_F(ControlSubclass, ErrorBoxKeepsItsMarginsThroughEveryFontChange) {
  SendMessageW(errorEdit, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(3, 3));
  for (const int height : {12, 24, 48}) {
    const UniqueFont font(CreateFontW(-height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                      OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, 0, L"Tahoma"));
    ASSERT_TRUE(font);
    SendMessageW(errorEdit, WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), TRUE);
    EXPECT_EQ(SendMessageW(errorEdit, WM_GETFONT, 0, 0), reinterpret_cast<LRESULT>(font.Get()));
    EXPECT_EQ(SendMessageW(errorEdit, EM_GETMARGINS, 0, 0), MAKELRESULT(3, 3)) << height;
    SendMessageW(errorEdit, WM_SETFONT, 0, FALSE);
  }
}

TEST_F(ControlSubclass, TheControlUnderThePointerIsHotUntilItIsLeft) {
  ValidateRect(parent, nullptr);
  SendMessageW(boxes[1], WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(g_setup.hotControl, boxes[1]);
  EXPECT_TRUE(GetUpdateRect(parent, nullptr, FALSE)) << "the page is composed again";
  SendMessageW(errorEdit, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(g_setup.hotControl, errorEdit);
  SendMessageW(boxes[1], WM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(g_setup.hotControl, errorEdit);
  SendMessageW(errorEdit, WM_MOUSELEAVE, 0, 0);
  EXPECT_EQ(g_setup.hotControl, nullptr);
}

}  // namespace
}  // namespace vaq
