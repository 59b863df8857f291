// The real program (SetupMain, its window procedure, its workers) against the development
// service, heard by a WinEvent hook in its own process, as Wine delivers NotifyWinEvent to no
// other; and the object a screen reader holds once the window is gone.
#include <windows.h>
#include <oleacc.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/setup_main_win.h"
#include "base/setup_context.h"
#include "tests/win/accessible_self_win.h"
#include "tests/win/dev_service_win.h"

namespace vaq {
namespace {

using dev_service::SetReply;

constexpr wchar_t kClassName[] = L"VAQOnlineSetup";
constexpr auto kPatience = std::chrono::seconds(30);

// An announcement and what the window's object read at that moment.
struct Heard {
  DWORD event;
  LONG object;
  LONG child;
  std::wstring name;
  std::wstring description;
  bool busy;
  bool operator==(const Heard& other) const {
    return event == other.event && object == other.object && child == other.child && name == other.name &&
           description == other.description && busy == other.busy;
  }
};

std::ostream& operator<<(std::ostream& out, const Heard& heard) {
  return out << (heard.event == EVENT_OBJECT_NAMECHANGE ? "name" : "description") << " changed on object "
             << heard.object << " child " << heard.child << ": " << testing::PrintToString(heard.name) << " / "
             << testing::PrintToString(heard.description) << (heard.busy ? ", busy" : "");
}

const std::wstring kCodeTitle = L"输入安装授权码";
const std::wstring kServiceLine = L"安装中心  https://localhost\r\n";
const std::wstring kVerifying = kServiceLine + L"正在验证安装授权码…";
const std::wstring kHint = kServiceLine + L"输入或粘贴 4 位授权码后自动验证。";
const std::wstring kFailureTitle = L"VAQ 客户端安装失败";

Heard Page(DWORD event, const std::wstring& name, const std::wstring& description, bool busy) {
  return {event, OBJID_CLIENT, CHILDID_SELF, name, description, busy};
}

// Filled by the hook on the window's thread, read by the driver.
std::mutex g_mutex;
std::condition_variable g_changed;
HWND g_window = nullptr;
std::vector<Heard> g_onWindow;
std::vector<Heard> g_onControls;
// The window's object as a screen reader holds it, taken when the failure page is announced.
IAccessible* g_held = nullptr;

std::wstring Text(IAccessible* object, HRESULT (STDMETHODCALLTYPE IAccessible::*getter)(VARIANT, BSTR*)) {
  BSTR text = nullptr;
  if ((object->*getter)(SelfChild(), &text) != S_OK) return L"(refused)";
  std::wstring read(text, SysStringLen(text));
  SysFreeString(text);
  return read;
}

// Reads the window as a screen reader would on hearing the event; keeps the object of the
// failure page.
void ReadWindow(HWND window, Heard& heard) {
  IAccessible* object = nullptr;
  // __uuidof, not IID_IAccessible: x86-64 MinGW's liboleacc.a exports that name as a code thunk,
  // which the linker takes for the GUID, and every request is then refused with E_NOINTERFACE.
  const HRESULT found =
      AccessibleObjectFromWindow(window, OBJID_CLIENT, __uuidof(IAccessible), reinterpret_cast<void**>(&object));
  if (FAILED(found)) {
    return;
  }
  heard.name = Text(object, &IAccessible::get_accName);
  heard.description = Text(object, &IAccessible::get_accDescription);
  VARIANT state;
  VariantInit(&state);
  heard.busy = object->get_accState(SelfChild(), &state) == S_OK && state.vt == VT_I4 && (state.lVal & STATE_SYSTEM_BUSY);
  if (g_held == nullptr && heard.name == kFailureTitle) {
    g_held = object;
    return;
  }
  object->Release();
}

void CALLBACK Record(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child, DWORD, DWORD) {
  HWND setupWindow = nullptr;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    setupWindow = g_window;
  }
  if (setupWindow == nullptr || (window != setupWindow && GetParent(window) != setupWindow)) return;
  Heard heard{event, object, child, L"", L"", false};
  if (window == setupWindow) ReadWindow(window, heard);
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    (window == setupWindow ? g_onWindow : g_onControls).push_back(heard);
  }
  g_changed.notify_all();
}

HWND WaitForWindow() {
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  while (std::chrono::steady_clock::now() < deadline) {
    const HWND window = FindWindowW(kClassName, nullptr);
    if (window != nullptr && IsWindowVisible(window)) return window;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return nullptr;
}

bool WaitForAnnouncements(size_t count) {
  std::unique_lock<std::mutex> lock(g_mutex);
  return g_changed.wait_for(lock, kPatience, [&] { return g_onWindow.size() >= count; });
}

void Type(HWND window, const std::string& digits, int first) {
  for (size_t i = 0; i < digits.size(); ++i) {
    PostMessageW(GetDlgItem(window, IDC_DIGIT_FIRST + first + int(i)), WM_CHAR, WPARAM(digits[i]), 0);
  }
}

// A fresh record for the next run in this process.
void ResetSetup() {
  g_setup.countdown = 3;
  g_setup.grant.clear();
  g_setup.failureText.clear();
  g_setup.authorizeRequest = AuthorizeRequest{};
  g_setup.state = SetupState::Confirm;
  g_setup.spinnerFrame = 0;
}

class Announcements : public dev_service::ServiceTest {
 protected:
  void SetUp() override {
    ServiceTest::SetUp();
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    hook_ = SetWinEventHook(EVENT_OBJECT_NAMECHANGE, EVENT_OBJECT_DESCRIPTIONCHANGE, nullptr, Record,
                            GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    ASSERT_NE(hook_, nullptr);
    ResetSetup();
  }
  void TearDown() override {
    UnhookWinEvent(hook_);
    if (g_held != nullptr) g_held->Release();
    g_held = nullptr;
    g_window = nullptr;
    g_onWindow.clear();
    g_onControls.clear();
    CoUninitialize();
    ServiceTest::TearDown();
  }

  // SetupMain on this thread, driven from another as a person would; returns the exit code.
  // drive returns false when what it waited for did not come.
  int Run(const std::function<bool(HWND)>& drive) {
    const DWORD windowThread = GetCurrentThreadId();
    std::atomic<bool> driven{false};
    std::thread driver([&] {
      const HWND window = WaitForWindow();
      {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_window = window;
      }
      // The first frame is on screen before anything is typed: what it shows is not news. A
      // repaint is asked for and waited on until the window's thread has painted, since a
      // change typed before that would be the first frame, and so no news.
      if (window != nullptr) {
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        const auto deadline = std::chrono::steady_clock::now() + kPatience;
        while (GetUpdateRect(window, nullptr, FALSE) && std::chrono::steady_clock::now() < deadline) {
          std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
      }
      // A run that got stuck is ended here.
      if (window == nullptr || !drive(window)) PostThreadMessageW(windowThread, WM_QUIT, 0, 0);
      driven = true;
    });
    const int exitCode = SetupMain(GetModuleHandleW(nullptr));
    // The driver may still be sending to this thread (RedrawWindow): answer until it is done.
    while (!driven) {
      MSG message;
      while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message != WM_QUIT) DispatchMessageW(&message);
      }
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
    driver.join();
    if (const HWND left = FindWindowW(kClassName, nullptr)) DestroyWindow(left);
    return exitCode;
  }

  HWINEVENTHOOK hook_ = nullptr;
};

void Escape(HWND window) { PostMessageW(window, WM_KEYDOWN, VK_ESCAPE, 0); }

nlohmann::json Authorization(int status, const std::string& body) {
  return {{"path", "/install/windows/authorize"}, {"status", status}, {"body", body}};
}

std::string GrantReply() {
  return nlohmann::json{{"grant", dev_service::Setting("VAQ_DEV_SERVICE_GRANT")}}.dump();
}

TEST_F(Announcements, CodeRoadWithOneFailedCode) {
  const std::string code = dev_service::Setting("VAQ_DEV_SERVICE_CODE");
  ASSERT_EQ(code.size(), 4u);
  SetReply(Authorization(403, ""));
  // Announcements follow painted frames: each answer waits until the verification was heard.
  dev_service::HeldReplies held;
  const int exitCode = Run([&](HWND window) {
    Type(window, "9999", 0);
    if (!WaitForAnnouncements(1)) return false;  // verifying
    held.Release();
    if (!WaitForAnnouncements(2)) return false;  // the failure line
    SetReply(Authorization(200, GrantReply()));
    held.Hold();
    Type(window, code.substr(0, 1), 0);
    if (!WaitForAnnouncements(3)) return false;  // the failure line goes
    Type(window, code.substr(1), 1);
    if (!WaitForAnnouncements(4)) return false;  // verifying
    held.Release();
    if (!WaitForAnnouncements(5)) return false;  // the confirmation page
    Escape(window);
    return true;
  });
  EXPECT_EQ(exitCode, 0) << "the confirmation page was cancelled";
  const std::wstring refused = kServiceLine + L"安装授权无效或已过期，请使用新的 4 位安装授权码。（HTTP 403）";
  const std::vector<Heard> expected = {
      Page(EVENT_OBJECT_DESCRIPTIONCHANGE, kCodeTitle, kVerifying, true),
      Page(EVENT_OBJECT_DESCRIPTIONCHANGE, kCodeTitle, refused, false),
      Page(EVENT_OBJECT_DESCRIPTIONCHANGE, kCodeTitle, kHint, false),
      Page(EVENT_OBJECT_DESCRIPTIONCHANGE, kCodeTitle, kVerifying, true),
      Page(EVENT_OBJECT_NAMECHANGE, L"将要安装 VAQ 客户端", L"请确认在此设备上安装，倒计时结束后将自动继续。", false)};
  EXPECT_EQ(g_onWindow, expected);
  for (const Heard& heard : g_onControls) EXPECT_NE(heard.object, OBJID_CLIENT) << heard;
}

// Verification, confirmation with its countdown, installation and its failure: one
// announcement per page, none for the countdown's captions.
TEST_F(Announcements, FailureRoad) {
  const std::string code = dev_service::Setting("VAQ_DEV_SERVICE_CODE");
  ASSERT_EQ(code.size(), 4u);
  SetReply(Authorization(200, GrantReply()));
  // The verification is heard before its answer comes.
  dev_service::HeldReplies held;
  const int exitCode = Run([&](HWND window) {
    Type(window, code, 0);
    if (!WaitForAnnouncements(1)) return false;  // verifying
    SetReply({{"path", "/install/bootstrap.ps1"}, {"status", 404}, {"body", ""}});
    held.Release();
    if (!WaitForAnnouncements(4)) return false;
    Escape(window);
    return true;
  });
  EXPECT_EQ(exitCode, 0);
  const std::vector<Heard> expected = {
      Page(EVENT_OBJECT_DESCRIPTIONCHANGE, kCodeTitle, kVerifying, true),
      Page(EVENT_OBJECT_NAMECHANGE, L"将要安装 VAQ 客户端", L"请确认在此设备上安装，倒计时结束后将自动继续。", false),
      Page(EVENT_OBJECT_NAMECHANGE, L"正在安装 VAQ 客户端", L"正在安全下载并配置服务，请保持网络连接。", true),
      Page(EVENT_OBJECT_NAMECHANGE, kFailureTitle, L"可复制下方错误信息，交由管理员排查。", false)};
  EXPECT_EQ(g_onWindow, expected);
  for (const Heard& heard : g_onControls) EXPECT_NE(heard.object, OBJID_CLIENT) << heard;

  // The object taken on the failure page outlives the window and refuses every call.
  ASSERT_NE(g_held, nullptr) << "the failure page was never read";
  BSTR text = nullptr;
  EXPECT_EQ(g_held->get_accName(SelfChild(), &text), CO_E_OBJNOTCONNECTED);
  EXPECT_EQ(g_held->get_accValue(SelfChild(), &text), CO_E_OBJNOTCONNECTED);
  VARIANT state;
  VariantInit(&state);
  EXPECT_EQ(g_held->get_accState(SelfChild(), &state), CO_E_OBJNOTCONNECTED);
  long count = 0;
  EXPECT_EQ(g_held->get_accChildCount(&count), CO_E_OBJNOTCONNECTED);
}

}  // namespace
}  // namespace vaq
