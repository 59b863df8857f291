// The real program (SetupMain, its window procedure, its workers) against the development
// service, heard by a WinEvent hook in its own process, as Wine delivers NotifyWinEvent to no
// other; and the object a screen reader holds once the window is gone.
#include <windows.h>
#include <oleacc.h>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/setup_context.h"
#include "app/setup_main_win.h"
#include "tests/win/dev_service_win.h"

namespace vaq {
namespace {

using dev_service::SetReply;

constexpr wchar_t kClassName[] = L"VAQOnlineSetup";
constexpr auto kPatience = std::chrono::seconds(30);

struct Heard {
  DWORD event;
  LONG object;
  LONG child;
  bool operator==(const Heard& other) const {
    return event == other.event && object == other.object && child == other.child;
  }
};
constexpr Heard kNameChanged{EVENT_OBJECT_NAMECHANGE, OBJID_CLIENT, CHILDID_SELF};
constexpr Heard kDescriptionChanged{EVENT_OBJECT_DESCRIPTIONCHANGE, OBJID_CLIENT, CHILDID_SELF};

std::ostream& operator<<(std::ostream& out, const Heard& heard) {
  return out << (heard.event == EVENT_OBJECT_NAMECHANGE ? "name" : "description") << " changed on object "
             << heard.object << " child " << heard.child;
}

// Filled by the hook on the window's thread, read by the driver.
std::mutex g_mutex;
std::condition_variable g_changed;
HWND g_window = nullptr;
std::vector<Heard> g_onWindow;
std::vector<Heard> g_onControls;
// The window's object as a screen reader holds it, taken when the failure page is announced.
IAccessible* g_held = nullptr;

std::wstring NameOf(IAccessible* object) {
  VARIANT self;
  VariantInit(&self);
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  BSTR name = nullptr;
  if (object->get_accName(self, &name) != S_OK) return L"(no name)";
  std::wstring text(name, SysStringLen(name));
  SysFreeString(name);
  return text;
}

// Holds the window's object when its name is the failure page's title.
void HoldOnFailurePage(HWND window) {
  IAccessible* object = nullptr;
  if (FAILED(AccessibleObjectFromWindow(window, OBJID_CLIENT, IID_IAccessible, reinterpret_cast<void**>(&object)))) {
    return;
  }
  if (g_held == nullptr && NameOf(object) == L"VAQ 客户端安装失败") {
    g_held = object;
    return;
  }
  object->Release();
}

void CALLBACK Record(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child, DWORD, DWORD) {
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_window == nullptr || (window != g_window && GetParent(window) != g_window)) return;
    if (window != g_window) {
      g_onControls.push_back({event, object, child});
      return;
    }
    g_onWindow.push_back({event, object, child});
  }
  g_changed.notify_all();
  if (event == EVENT_OBJECT_NAMECHANGE) HoldOnFailurePage(window);
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
    std::thread driver([&] {
      const HWND window = WaitForWindow();
      {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_window = window;
      }
      // The first frame is on screen before anything is typed: what it shows is not news.
      if (window != nullptr) UpdateWindow(window);
      // A run that got stuck is ended here.
      if (window == nullptr || !drive(window)) PostThreadMessageW(windowThread, WM_QUIT, 0, 0);
    });
    const int exitCode = SetupMain(GetModuleHandleW(nullptr));
    driver.join();
    if (const HWND left = FindWindowW(kClassName, nullptr)) DestroyWindow(left);
    return exitCode;
  }

  HWINEVENTHOOK hook_ = nullptr;
};

void Escape(HWND window) { PostMessageW(window, WM_KEYDOWN, VK_ESCAPE, 0); }

TEST_F(Announcements, CodeRoadWithOneFailedCode) {
  const std::string code = dev_service::Setting("VAQ_DEV_SERVICE_CODE");
  ASSERT_EQ(code.size(), 4u);
  SetReply({{"path", "/install/windows/authorize"}, {"status", 403}, {"body", ""}});
  const int exitCode = Run([&](HWND window) {
    Type(window, "9999", 0);
    if (!WaitForAnnouncements(2)) return false;  // verifying, then the failure line
    dev_service::ClearReply();
    Type(window, code.substr(0, 1), 0);
    if (!WaitForAnnouncements(3)) return false;  // the failure line goes
    Type(window, code.substr(1), 1);
    if (!WaitForAnnouncements(5)) return false;  // verifying, then the confirmation page
    Escape(window);
    return true;
  });
  EXPECT_EQ(exitCode, 0) << "the confirmation page was cancelled";
  const std::vector<Heard> expected = {kDescriptionChanged, kDescriptionChanged, kDescriptionChanged,
                                       kDescriptionChanged, kNameChanged};
  EXPECT_EQ(g_onWindow, expected);
  for (const Heard& heard : g_onControls) EXPECT_NE(heard.object, OBJID_CLIENT) << heard;
}

// Verification, confirmation with its countdown, installation and its failure: one
// announcement per page, none for the countdown's captions.
TEST_F(Announcements, FailureRoad) {
  const std::string code = dev_service::Setting("VAQ_DEV_SERVICE_CODE");
  ASSERT_EQ(code.size(), 4u);
  SetReply({{"path", "/install/bootstrap.ps1"}, {"status", 404}, {"body", ""}});
  const int exitCode = Run([&](HWND window) {
    Type(window, code, 0);
    if (!WaitForAnnouncements(4)) return false;
    Escape(window);
    return true;
  });
  EXPECT_EQ(exitCode, 0);
  const std::vector<Heard> expected = {kDescriptionChanged, kNameChanged, kNameChanged, kNameChanged};
  EXPECT_EQ(g_onWindow, expected);
  for (const Heard& heard : g_onControls) EXPECT_NE(heard.object, OBJID_CLIENT) << heard;

  // The object taken on the failure page outlives the window and refuses every call.
  ASSERT_NE(g_held, nullptr) << "the failure page was never read";
  VARIANT self;
  VariantInit(&self);
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  BSTR text = nullptr;
  EXPECT_EQ(g_held->get_accName(self, &text), CO_E_OBJNOTCONNECTED);
  EXPECT_EQ(g_held->get_accValue(self, &text), CO_E_OBJNOTCONNECTED);
  VARIANT state;
  VariantInit(&state);
  EXPECT_EQ(g_held->get_accState(self, &state), CO_E_OBJNOTCONNECTED);
  long count = 0;
  EXPECT_EQ(g_held->get_accChildCount(&count), CO_E_OBJNOTCONNECTED);
}

}  // namespace
}  // namespace vaq
