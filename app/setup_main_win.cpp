#include "app/setup_main_win.h"

#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "app/control_subclass_win.h"
#include "app/elevation.h"
#include "app/file_name_grant.h"
#include "app/setup_window_win.h"
#include "base/handles_win.h"
#include "base/preloaded_libraries_win.h"
#include "base/setup_context.h"
#include "base/startup_steps_win.h"
#include "base/system_library_win.h"
#include "base/wide_win.h"
#include "ui/frame_win.h"
#include "ui/layout_win.h"
#include "ui/page.h"

namespace vaq {
namespace {

constexpr wchar_t kClassName[] = L"VAQOnlineSetup";
constexpr wchar_t kWindowTitle[] = L"VAQ 在线安装程序";
constexpr int kCreateWidth = 496;
constexpr int kCreateHeight = 328;
constexpr DWORD kPathCapacity = 32768;
constexpr int kEditMargin = 2;
constexpr std::u16string_view kPathUnreadable = u"无法读取当前安装程序的路径，请重新打开安装文件。";

constexpr ControlSpec kErrorEdit{L"EDIT", L"", 0, 0x40210844};
constexpr DWORD kDigitBoxStyle = 0x50012021;
constexpr ControlSpec kCopyButton{L"BUTTON", L"复制错误", IDC_COPY_ERROR, 0x4001000B};
constexpr ControlSpec kPrimaryButton{L"BUTTON", L"", IDC_PRIMARY, 0x4001000B};

void MakeDpiAware() {
  using SetContextFn = BOOL(WINAPI*)(HANDLE);
  using SetAwarenessFn = HRESULT(WINAPI*)(int);
  const HMODULE user32 = GetModuleHandleW(L"user32.dll");
  const auto setContext = user32 == nullptr ? nullptr
      : reinterpret_cast<SetContextFn>(reinterpret_cast<void*>(GetProcAddress(user32, "SetProcessDpiAwarenessContext")));
  if (setContext != nullptr &&
      (setContext(reinterpret_cast<HANDLE>(-4)) || setContext(reinterpret_cast<HANDLE>(-3)))) {
    return;
  }
  const HMODULE shcore = LoadSystemLibrary(L"shcore.dll");
  if (shcore != nullptr) {
    const auto setAwareness =
        reinterpret_cast<SetAwarenessFn>(reinterpret_cast<void*>(GetProcAddress(shcore, "SetProcessDpiAwareness")));
    const HRESULT result = setAwareness != nullptr ? setAwareness(2) : E_FAIL;
    FreeLibrary(shcore);
    if (setAwareness != nullptr && (result >= 0 || result == E_ACCESSDENIED)) return;
  }
  SetProcessDPIAware();
}

// The program's own path, or nothing when the system reports none or a truncated one. The
// buffer grows only for a long path: the heap would keep a block of the longest one committed.
std::optional<std::u16string> ReadOwnPath() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), DWORD(buffer.size()));
    if (length == 0) return std::nullopt;
    if (length < buffer.size()) return std::u16string(AsU16View(buffer.data(), length));
    if (buffer.size() == kPathCapacity) return std::nullopt;
    buffer.resize(std::min<size_t>(buffer.size() * 2, kPathCapacity));
  }
}

class ShellElevation : public ElevationPlatform {
 public:
  bool HasAdministratorRights() override { return IsUserAnAdmin() != FALSE; }

  std::vector<std::u16string> Arguments() override {
    int count = 0;
    const UniqueLocal owned(CommandLineToArgvW(GetCommandLineW(), &count));
    const auto* const arguments = static_cast<const LPWSTR*>(owned.Get());
    std::vector<std::u16string> result;
    for (int i = 1; arguments != nullptr && i < count; ++i) result.emplace_back(AsU16(arguments[i]));
    return result;
  }

  bool RelaunchElevated(std::u16string_view argument) override {
    const std::optional<std::u16string> path = ReadOwnPath();
    if (!path) return false;
    const std::u16string parameters(argument);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.lpVerb = L"runas";
    info.lpFile = AsWide(*path);
    info.lpParameters = AsWide(parameters);
    info.nShow = SW_SHOWNORMAL;
    return ShellExecuteExW(&info) != FALSE;
  }
};

RECT WorkAreaUnderCursor(HMONITOR& monitor) {
  POINT cursor{};
  if (!GetCursorPos(&cursor)) cursor = POINT{0, 0};
  monitor = MonitorFromPoint(cursor, MONITOR_DEFAULTTONEAREST);
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  if (GetMonitorInfoW(monitor, &info)) return info.rcWork;
  return RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

// Creates the children in their tab order and subclasses every one of them.
bool CreateControls(HWND window, HINSTANCE instance) {
  const HWND errorEdit = CreateControl(window, instance, kErrorEdit);
  g_setup.errorEdit = errorEdit;
  if (g_setup.state == SetupState::EnterCode) {
    for (int i = 0; i < kDigitCount; ++i) {
      const ControlSpec box{L"EDIT", L"", IDC_DIGIT_FIRST + i, kDigitBoxStyle};
      const HWND control = CreateControl(window, instance, box);
      if (!InstallControlSubclass(control)) return false;
      g_setup.digitBoxes[i] = control;
      SendMessageW(control, EM_LIMITTEXT, 1, 0);
    }
  }
  const HWND cancel = CreateControl(window, instance, kCancelButton);
  const HWND copy = CreateControl(window, instance, kCopyButton);
  const HWND primary = CreateControl(window, instance, kPrimaryButton);
  g_setup.cancelButton = cancel;
  g_setup.copyButton = copy;
  g_setup.primaryButton = primary;
  for (HWND control : {errorEdit, cancel, copy, primary}) {
    if (!InstallControlSubclass(control)) return false;
  }
  return true;
}

void CentreOnWorkArea(HWND window, const RECT& work) {
  RECT frame{};
  GetWindowRect(window, &frame);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  const int x = work.left + (work.right - work.left - width) / 2;
  const int y = work.top + (work.bottom - work.top - height) / 2;
  SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

bool IsEnterOrEscape(const MSG& message) {
  return message.message == WM_KEYDOWN && (message.wParam == VK_RETURN || message.wParam == VK_ESCAPE);
}

// Enter and Escape act on the page as a whole, whichever control has the focus.
void RouteEnterOrEscape(HWND window, WPARAM key) {
  if (key == VK_ESCAPE) {
    SendMessageW(window, WM_CLOSE, 0, 0);
    return;
  }
  const HWND focus = GetFocus();
  if (g_setup.state == SetupState::EnterCode && focus != g_setup.cancelButton) {
    SendMessageW(window, WM_SETUP_SUBMIT_CODE, 0, 0);
    return;
  }
  const int id = focus == g_setup.cancelButton ? IDC_CANCEL
               : focus == g_setup.copyButton ? IDC_COPY_ERROR
               : IDC_PRIMARY;
  SendMessageW(window, WM_COMMAND, static_cast<WPARAM>(id), 0);
}

void RunMessageLoop(HWND window) {
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (IsEnterOrEscape(message) && g_setup.state != SetupState::Installing) {
      RouteEnterOrEscape(window, message.wParam);
      continue;
    }
    if (IsDialogMessageW(window, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

int EndRun() {
  ReleaseUiResources();
  return RunExitCode(g_setup);
}

int FailBuildingWindow(HWND window) {
  if (window != nullptr) DestroyWindow(window);
  ReleaseUiResources();
  return 1;
}

}  // namespace

void ReleaseUiResources() {
  ReleaseFrameLayers();
  ReleaseFonts();
  if (g_setup.editBrush != nullptr) {
    DeleteObject(static_cast<HBRUSH>(g_setup.editBrush));
    g_setup.editBrush = nullptr;
  }
}

int SetupMain(HINSTANCE instance) {
  VAQ_STARTUP_STEP("entry");
  RestrictDllSearchToSystem();
  PreloadSystemLibraries(PreloadTime::StartUp);
  VAQ_STARTUP_STEP("DLL search and window libraries");
  MakeDpiAware();
  VAQ_STARTUP_STEP("DPI awareness");

  if (const std::optional<std::u16string> path = ReadOwnPath()) {
    g_setup.grant = ParseInstallerFileName(*path);
  } else {
    g_setup.startFailure = true;
    g_setup.failureText = kPathUnreadable;
  }
  VAQ_STARTUP_STEP("grant from the file name");

  if (!g_setup.startFailure) {
    ShellElevation elevation;
    if (const std::optional<int> exitCode = ElevateOrExitCode(elevation)) return *exitCode;
    if (g_setup.grant.empty()) g_setup.state = SetupState::EnterCode;
  }
  VAQ_STARTUP_STEP("elevation");

  HMONITOR monitor = nullptr;
  const RECT work = WorkAreaUnderCursor(monitor);
  const int dpi = GetMonitorDpi(monitor);
  VAQ_STARTUP_STEP("monitor DPI");

  g_setup.hotControl = nullptr;
  g_setup.errorEdit = g_setup.copyButton = g_setup.cancelButton = g_setup.primaryButton = nullptr;
  for (WindowHandle& box : g_setup.digitBoxes) box = nullptr;

  const RECT corner{work.left, work.top, work.left + 1, work.top + 1};
  if (!ApplyDpiLayout(dpi, nullptr, &corner)) return FailBuildingWindow(nullptr);
  VAQ_STARTUP_STEP("fonts");

  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = SetupWindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.lpszClassName = kClassName;
  if (!RegisterClassW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    return FailBuildingWindow(nullptr);
  }
  VAQ_STARTUP_STEP("window class");

  const HWND window = CreateWindowExW(
      WS_EX_LAYERED | WS_EX_APPWINDOW, kClassName, kWindowTitle, WS_POPUP, work.left, work.top,
      MulDiv(kCreateWidth, g_setup.layoutDpi, 96), MulDiv(kCreateHeight, g_setup.layoutDpi, 96),
      nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return FailBuildingWindow(nullptr);
  VAQ_STARTUP_STEP("window");

  if (g_setup.editBrush == nullptr) g_setup.editBrush = CreateSolidBrush(palette::kPanel);
  if (!CreateControls(window, instance)) return FailBuildingWindow(window);
  VAQ_STARTUP_STEP("child controls");

  if (g_setup.state != SetupState::EnterCode) {
    WindowControls controls(window);
    UpdatePrimaryCaption(g_setup, controls);
    ShowWindow(static_cast<HWND>(g_setup.primaryButton), SW_SHOW);
  }
  const int margin = MulDiv(kEditMargin, g_setup.layoutDpi, 96);
  SendMessageW(static_cast<HWND>(g_setup.errorEdit), EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN,
               MAKELPARAM(margin, margin));
  if (!ApplyDpiLayout(dpi, window, nullptr)) return FailBuildingWindow(window);

  if (g_setup.startFailure) {
    SendMessageW(window, WM_SETUP_INSTALL_DONE, 0, 0);
  } else if (g_setup.state == SetupState::Confirm) {
    SetTimer(window, TIMER_COUNTDOWN, TIMER_COUNTDOWN_MS, nullptr);
  }

  CentreOnWorkArea(window, work);
  VAQ_STARTUP_STEP("first layout");
  ComposeFrame(window, nullptr);
  VAQ_STARTUP_STEP("first UpdateLayeredWindow");
  ShowWindow(window, SW_SHOW);
  VAQ_STARTUP_STEP("shown");
  SetForegroundWindow(window);
  SetFocus(static_cast<HWND>(g_setup.state == SetupState::EnterCode ? g_setup.digitBoxes[0]
                                                                    : g_setup.primaryButton));
  VAQ_STARTUP_STEP("focus");
  VAQ_STARTUP_STEPS_WRITE();
  RunMessageLoop(window);
  return EndRun();
}

}  // namespace vaq
