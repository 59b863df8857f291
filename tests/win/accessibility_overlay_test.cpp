// The object served for the setup window, over a window of the test's own with two buttons:
// what the standard proxy offers passes through, UI Automation takes it for a provider of its
// own, what a client holds once the window is gone keeps its interfaces and refuses every call,
// and a thread in the MTA is not served.
#include <windows.h>
#include <oleacc.h>

#include <gtest/gtest.h>

#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/accessibility_win.h"
#include "base/setup_context.h"
#include "tests/win/accessible_self_win.h"
#include "tests/win/ui_automation_win.h"
#include "ui/page_win.h"

namespace vaq {
namespace {

constexpr wchar_t kClassName[] = L"VAQ.Test.Served";

LRESULT CALLBACK ServedWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_GETOBJECT) {
    if (const std::optional<LRESULT> answer = AnswerGetObject(window, wParam, lParam)) return *answer;
  }
  if (message == WM_DESTROY) DisconnectAccessible(window);
  return DefWindowProcW(window, message, wParam, lParam);
}

// A top-level window answered as the setup window is, with two buttons as children.
class ServedWindow {
 public:
  ServedWindow() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = ServedWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kClassName;
    RegisterClassW(&windowClass);  // fails harmlessly when a previous test registered it
    window_ = CreateWindowExW(0, kClassName, L"served", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200,
                              nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    CreateWindowExW(0, L"BUTTON", L"One", WS_CHILD | WS_VISIBLE, 10, 10, 80, 30, window_, nullptr, nullptr, nullptr);
    CreateWindowExW(0, L"BUTTON", L"Two", WS_CHILD | WS_VISIBLE, 10, 50, 80, 30, window_, nullptr, nullptr, nullptr);
  }
  ~ServedWindow() { DestroyWindow(window_); }
  ServedWindow(const ServedWindow&) = delete;
  ServedWindow& operator=(const ServedWindow&) = delete;
  HWND Get() const { return window_; }

 private:
  HWND window_;
};

std::wstring Text(IAccessible* object, HRESULT (STDMETHODCALLTYPE IAccessible::*getter)(VARIANT, BSTR*),
                  VARIANT child = SelfChild()) {
  BSTR text = nullptr;
  if ((object->*getter)(child, &text) != S_OK) return L"(refused)";
  std::wstring read(text, SysStringLen(text));
  SysFreeString(text);
  return read;
}

std::wstring Name(IAccessible* object, VARIANT child) { return Text(object, &IAccessible::get_accName, child); }

// Child windows' objects are told apart by their windows: Wine's window objects have no names.
std::wstring WindowText(IAccessible* object) {
  HWND window = nullptr;
  if (FAILED(WindowFromAccessibleObject(object, &window)) || window == nullptr) return L"(no window)";
  wchar_t text[64] = {};
  GetWindowTextW(window, text, 64);
  return text;
}

// The children as AccessibleChildren gives them: objects by their windows' texts, ids by name.
std::vector<std::wstring> Children(IAccessible* object) {
  long count = 0;
  if (FAILED(object->get_accChildCount(&count))) return {L"(no count)"};
  std::vector<VARIANT> items(static_cast<size_t>(count));
  long got = 0;
  if (FAILED(AccessibleChildren(object, 0, count, items.data(), &got))) return {L"(refused)"};
  std::vector<std::wstring> children;
  for (long i = 0; i < got; ++i) {
    VARIANT& item = items[static_cast<size_t>(i)];
    if (item.vt == VT_DISPATCH) {
      IAccessible* child = nullptr;
      const HRESULT found = item.pdispVal->QueryInterface(__uuidof(IAccessible), reinterpret_cast<void**>(&child));
      children.push_back(SUCCEEDED(found) ? L"object " + WindowText(child) : L"(not accessible)");
      if (SUCCEEDED(found)) child->Release();
    } else if (item.vt == VT_I4) {
      children.push_back(L"id " + std::to_wstring(item.lVal) + L" " + Name(object, item));
    }
    VariantClear(&item);
  }
  return children;
}

template <typename Interface>
Interface* Query(IUnknown* object) {
  Interface* found = nullptr;
  return SUCCEEDED(object->QueryInterface(__uuidof(Interface), reinterpret_cast<void**>(&found))) ? found : nullptr;
}

// The page's object as a client gets it, and the plain standard proxy of the same window.
void PageAndPlainProxy(HWND window, IAccessible*& overlay, IAccessible*& plain) {
  ASSERT_EQ(AccessibleObjectFromWindow(window, OBJID_CLIENT, __uuidof(IAccessible), reinterpret_cast<void**>(&overlay)),
            S_OK);
  ASSERT_EQ(CreateStdAccessibleObject(window, OBJID_CLIENT, __uuidof(IAccessible), reinterpret_cast<void**>(&plain)),
            S_OK);
}

class AccessibleOverlay : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))); }
  void TearDown() override { CoUninitialize(); }
};

TEST_F(AccessibleOverlay, AScreenReaderWalkingTheChildrenMeetsTheProxysChildren) {
  const ServedWindow served;
  IAccessible* overlay = nullptr;
  IAccessible* plain = nullptr;
  ASSERT_NO_FATAL_FAILURE(PageAndPlainProxy(served.Get(), overlay, plain));
  EXPECT_NE(Name(overlay, SelfChild()), Name(plain, SelfChild())) << "the page's object, not the plain proxy";

  const std::vector<std::wstring> seen = Children(overlay);
  EXPECT_EQ(seen, Children(plain));
  EXPECT_EQ(seen, (std::vector<std::wstring>{L"object One", L"object Two"}));

  // One identity whichever interface a client started from.
  IUnknown* identity = Query<IUnknown>(overlay);
  for (IUnknown* other : {static_cast<IUnknown*>(Query<IEnumVARIANT>(overlay)),
                          static_cast<IUnknown*>(Query<IServiceProvider>(overlay))}) {
    ASSERT_NE(other, nullptr);
    IUnknown* back = Query<IUnknown>(other);
    EXPECT_EQ(back, identity);
    back->Release();
    other->Release();
  }
  identity->Release();
  plain->Release();
  overlay->Release();
}

// UI Automation refuses a provider made of the plain standard proxy, and serves such a window
// through a proxy of its own that knows nothing of the page; the page's object it takes as it is,
// and its clients then read each page's name and description as MSAA clients do. Wine 8's
// provider answers no property at all: there only the first half can be seen.
TEST_F(AccessibleOverlay, UiAutomationTakesThePagesObjectAsItsProvider) {
  const UiaProviderFromIAccessibleFunction providerFrom = UiaProviderFromIAccessibleOrNull();
  if (providerFrom == nullptr) GTEST_SKIP() << "no UiaProviderFromIAccessible here (Windows 8 and later have it)";
  const ServedWindow served;
  IAccessible* overlay = nullptr;
  IAccessible* plain = nullptr;
  ASSERT_NO_FATAL_FAILURE(PageAndPlainProxy(served.Get(), overlay, plain));
  IRawElementProviderSimple* provider = nullptr;
  EXPECT_TRUE(FAILED(providerFrom(plain, CHILDID_SELF, kUiaPfiaDefault, &provider))) << "the plain proxy";
  if (provider != nullptr) provider->Release();
  provider = nullptr;
  ASSERT_EQ(providerFrom(overlay, CHILDID_SELF, kUiaPfiaDefault, &provider), S_OK);
  ASSERT_NE(provider, nullptr);

  const SetupState states[] = {SetupState::EnterCode, SetupState::Confirm, SetupState::Installing,
                               SetupState::Finished, SetupState::Finished};
  const SetupState kept = g_setup.state;
  bool compared = false;
  for (size_t i = 0; i < std::size(states); ++i) {
    g_setup.state = states[i];
    SetOutcome(served.Get(), i == 3);  // the success page, then the failure page
    SCOPED_TRACE(testing::Message() << "page " << i);
    const std::optional<std::wstring> name = UiaText(provider, UIA_NamePropertyId);
    if (!name) continue;
    compared = true;
    EXPECT_EQ(*name, Text(overlay, &IAccessible::get_accName));
    EXPECT_EQ(UiaText(provider, UIA_LegacyIAccessibleDescriptionPropertyId),
              std::optional<std::wstring>(Text(overlay, &IAccessible::get_accDescription)));
  }
  g_setup.state = kept;
  RecordProperty("ui_automation_reads_the_pages", compared ? "compared with MSAA" : "no property served here");
  provider->Release();
  plain->Release();
  overlay->Release();
}

TEST_F(AccessibleOverlay, OnceTheWindowIsGoneTheInterfacesStayAndEveryCallIsRefused) {
  IAccessible* overlay = nullptr;
  {
    const ServedWindow served;
    ASSERT_EQ(AccessibleObjectFromWindow(served.Get(), OBJID_CLIENT, __uuidof(IAccessible),
                                         reinterpret_cast<void**>(&overlay)),
              S_OK);
  }
  IEnumVARIANT* children = Query<IEnumVARIANT>(overlay);
  IServiceProvider* services = Query<IServiceProvider>(overlay);
  IOleWindow* window = Query<IOleWindow>(overlay);
  ASSERT_NE(children, nullptr);
  ASSERT_NE(services, nullptr);
  ASSERT_NE(window, nullptr);

  BSTR text = nullptr;
  EXPECT_EQ(overlay->get_accName(SelfChild(), &text), CO_E_OBJNOTCONNECTED);
  long count = 0;
  EXPECT_EQ(overlay->get_accChildCount(&count), CO_E_OBJNOTCONNECTED);
  VARIANT item;
  VariantInit(&item);
  ULONG fetched = 0;
  EXPECT_EQ(children->Next(1, &item, &fetched), CO_E_OBJNOTCONNECTED);
  EXPECT_EQ(children->Reset(), CO_E_OBJNOTCONNECTED);
  IEnumVARIANT* copy = nullptr;
  EXPECT_EQ(children->Clone(&copy), CO_E_OBJNOTCONNECTED);
  IUnknown* service = nullptr;
  EXPECT_EQ(services->QueryService(__uuidof(IAccessible), __uuidof(IUnknown), reinterpret_cast<void**>(&service)),
            CO_E_OBJNOTCONNECTED);
  HWND handle = nullptr;
  EXPECT_EQ(window->GetWindow(&handle), CO_E_OBJNOTCONNECTED);
  window->Release();
  services->Release();
  children->Release();
  overlay->Release();
}

TEST(AccessibleOverlayApartment, AThreadInTheMtaIsNotServed) {
  std::thread([] {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    {
      const ServedWindow served;
      EXPECT_FALSE(AnswerGetObject(served.Get(), 0, OBJID_CLIENT).has_value());
    }
    CoUninitialize();
  }).join();
}

}  // namespace
}  // namespace vaq
