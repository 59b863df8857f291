#include "tests/win/ui_stage_win.h"

#include "app/window_presentation_win.h"
#include "base/text.h"
#include "base/wide_win.h"
#include "ui/frame_win.h"
#include "ui/layout_win.h"
#include "ui/page.h"
#include "ui/page_win.h"
#include "ui/surface_win.h"

namespace vaq::test {
namespace {

constexpr wchar_t kClassName[] = L"VaqPresentationStage";

// The setup window's own presentation handler answers; only its destruction is the stage's,
// since the real one posts the quit message that would end the test's message loop.
LRESULT CALLBACK StageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (message != WM_DESTROY && HandlePresentationMessage(window, message, wParam, lParam, result)) return result;
  return DefWindowProcW(window, message, wParam, lParam);
}

HWND Child(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, int id) {
  return CreateWindowExW(0, cls, text, WS_CHILD | style, 0, 0, 10, 10, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
}

void SetVisible(WindowHandle control, bool visible) { ShowWindow(static_cast<HWND>(control), visible ? SW_SHOW : SW_HIDE); }

}  // namespace

Stage::Stage() {
  WNDCLASSW wc = {};
  wc.lpfnWndProc = StageProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = kClassName;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  RegisterClassW(&wc);
  window_ = CreateWindowExW(WS_EX_LAYERED, kClassName, L"VAQ", WS_POPUP, 40, 40, 496, 328, nullptr, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
  g_setup.primaryButton = Child(window_, L"BUTTON", L"", BS_OWNERDRAW | WS_TABSTOP, IDC_PRIMARY);
  g_setup.cancelButton = Child(window_, L"BUTTON", L"取消", BS_OWNERDRAW | WS_TABSTOP, IDC_CANCEL);
  g_setup.copyButton = Child(window_, L"BUTTON", L"复制错误", BS_OWNERDRAW | WS_TABSTOP, IDC_COPY_ERROR);
  g_setup.errorEdit = Child(window_, L"EDIT", L"", ES_MULTILINE | ES_READONLY | WS_VSCROLL | ES_AUTOVSCROLL, 0);
  for (int i = 0; i < kDigitCount; ++i) {
    g_setup.digitBoxes[i] = Child(window_, L"EDIT", L"", ES_NUMBER | WS_TABSTOP, IDC_DIGIT_FIRST + i);
  }
  g_setup.editBrush = CreateSolidBrush(palette::kPanel);
}

Stage::~Stage() {
  DestroyWindow(window_);
  ReleaseFrameLayers();
  ReleaseFonts();
  DeleteObject(static_cast<HGDIOBJ>(g_setup.editBrush));
  g_setup.editBrush = nullptr;
  g_setup.primaryButton = g_setup.cancelButton = g_setup.copyButton = g_setup.errorEdit = nullptr;
  for (WindowHandle& box : g_setup.digitBoxes) box = nullptr;
}

bool Stage::Show(const StagePage& page, int dpi) {
  g_setup.state = page.state;
  g_setup.startFailure = page.startFailure;
  g_setup.spinnerFrame = page.spinnerFrame;
  g_setup.authorizeThread = page.verifying ? GetCurrentThread() : nullptr;
  g_setup.authorizeRequest.failureText = page.authorizeFailure;
  g_setup.failureText = page.failureText;
  g_setup.hotControl = nullptr;
  SetOutcome(window_, page.succeeded);

  const bool code = page.state == SetupState::EnterCode;
  const bool finished = page.state == SetupState::Finished;
  const bool failurePage = finished && !page.succeeded;
  for (int i = 0; i < kDigitCount; ++i) {
    const HWND box = static_cast<HWND>(g_setup.digitBoxes[i]);
    SetWindowTextW(box, i < page.digitsTyped ? L"7" : L"");
    SetVisible(box, code);
  }
  SetVisible(g_setup.cancelButton, code || page.state == SetupState::Confirm);
  EnableWindow(static_cast<HWND>(g_setup.cancelButton), !page.verifying);
  SetVisible(g_setup.primaryButton, page.state == SetupState::Confirm || finished);
  SetWindowTextW(static_cast<HWND>(g_setup.primaryButton), AsWide(page.primaryCaption));
  SetVisible(g_setup.copyButton, failurePage);
  SetVisible(g_setup.errorEdit, failurePage);
  SetWindowTextW(static_cast<HWND>(g_setup.errorEdit), AsWide(WithCrLfBreaks(page.failureText)));

  if (!ApplyDpiLayout(dpi, window_, nullptr)) return false;
  // As at start-up: the first frame is presented before the window is shown.
  ComposeFrame(window_, nullptr);
  ShowWindow(window_, SW_SHOWNOACTIVATE);
  if (code && page.focusedDigit >= 0) {
    SetFocus(static_cast<HWND>(g_setup.digitBoxes[page.focusedDigit]));
  } else if (!code && page.state != SetupState::Installing) {
    SetFocus(static_cast<HWND>(g_setup.primaryButton));
  } else {
    SetFocus(window_);
  }
  ComposeFrame(window_, nullptr);
  return true;
}

bool Stage::Print(Surface& out) {
  RECT client;
  GetClientRect(window_, &client);
  if (!out.Create(client.right, client.bottom)) return false;
  out.Clear();
  SendMessageW(window_, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(SurfaceDc(out)), PRF_CLIENT);
  out.Flush();
  return true;
}

}  // namespace vaq::test
