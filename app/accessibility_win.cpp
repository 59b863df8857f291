#include "app/accessibility_win.h"

#include <oleacc.h>

#include <string>
#include <utility>

#include "app/control_subclass_win.h"
#include "base/setup_context.h"
#include "base/system_library_win.h"
#include "base/wide_win.h"
#include "ui/page.h"
#include "ui/page_win.h"

namespace vaq {
namespace {

// Keeps the object served for a window, so that every request gets the same one.
constexpr wchar_t kAccessibleProperty[] = L"VAQ.Setup.Accessible";

// Bound on the first request, never freed: objects handed out may outlive every window.
struct OleaccFunctions {
  decltype(&CreateStdAccessibleObject) createStdAccessibleObject = nullptr;
  decltype(&LresultFromObject) lresultFromObject = nullptr;
  decltype(&SysAllocStringLen) sysAllocStringLen = nullptr;
};

template <typename Function>
Function Bind(HMODULE library, const char* name) {
  if (library == nullptr) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

OleaccFunctions LoadOleacc() {
  const HMODULE oleacc = LoadSystemLibrary(L"oleacc.dll");
  const HMODULE oleaut32 = LoadSystemLibrary(L"oleaut32.dll");
  OleaccFunctions functions;
  functions.createStdAccessibleObject =
      Bind<decltype(functions.createStdAccessibleObject)>(oleacc, "CreateStdAccessibleObject");
  functions.lresultFromObject = Bind<decltype(functions.lresultFromObject)>(oleacc, "LresultFromObject");
  functions.sysAllocStringLen = Bind<decltype(functions.sysAllocStringLen)>(oleaut32, "SysAllocStringLen");
  return functions;
}

// Bound on the window's thread. Loading a library can send this window another WM_GETOBJECT;
// that one is left to the default handling instead of waiting for the load it interrupts (a
// function-local static would wait on itself).
enum class Binding { NotTried, Loading, Bound, Failed };
Binding g_binding = Binding::NotTried;
OleaccFunctions g_oleacc;

const OleaccFunctions* Oleacc() {
  if (g_binding == Binding::NotTried) {
    g_binding = Binding::Loading;
    g_oleacc = LoadOleacc();
    const bool complete = g_oleacc.createStdAccessibleObject != nullptr &&
                          g_oleacc.lresultFromObject != nullptr && g_oleacc.sysAllocStringLen != nullptr;
    g_binding = complete ? Binding::Bound : Binding::Failed;
  }
  return g_binding == Binding::Bound ? &g_oleacc : nullptr;
}

// Remote clients' calls must reach the objects through this thread's message loop, which only a
// single-threaded apartment gives: in the MTA they would run on RPC threads, beside the window.
// The thread keeps the one reference its first call took.
bool InSingleThreadedApartment() {
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (FAILED(com)) return false;  // RPC_E_CHANGED_MODE: the thread is in the MTA
  if (com == S_FALSE) CoUninitialize();
  return true;
}

// What a window says of itself; nullopt leaves the answer to the standard proxy.
struct AccessibleTexts {
  std::optional<std::u16string> name;
  std::optional<std::u16string> description;
  bool busy = false;
};
using TextsSource = AccessibleTexts (*)(HWND);

PageKind PageOf(HWND window) {
  return {g_setup.state, OutcomeSucceeded(window), g_setup.startFailure};
}

AccessibleTexts PageTexts(HWND window) {
  const PageKind page = PageOf(window);
  return {std::u16string(PageTitle(page)), PageDescription(page, g_setup), PageBusy(g_setup)};
}

AccessibleTexts CodeBoxTexts(HWND box) {
  return {CodeBoxName(DigitBoxIndex(box)), std::u16string(CodeHintOf(g_setup).text), false};
}

AccessibleTexts ErrorBoxTexts(HWND) { return {std::u16string(page_text::kErrorBoxName), std::nullopt, false}; }

// Null for the controls whose own proxy says all there is (the buttons, by their captions).
TextsSource SourceFor(HWND window) {
  if (window == g_setup.errorEdit) return ErrorBoxTexts;
  if (DigitBoxIndex(window) >= 0) return CodeBoxTexts;
  if ((GetWindowLongW(window, GWL_STYLE) & WS_CHILD) == 0) return PageTexts;
  return nullptr;
}

bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

HRESULT TextAnswer(const std::u16string& text, BSTR* out) {
  if (out == nullptr) return E_INVALIDARG;
  *out = Oleacc()->sysAllocStringLen(AsWide(text), static_cast<UINT>(text.size()));
  return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

// The standard proxy of a window's client area with name, description and busy state taken
// from the page model. It runs on the window's thread (remote calls arrive through the loop).
// The proxy's IEnumVARIANT (its children as objects) and IServiceProvider pass through, so that
// the object keeps one identity; the proxy offers nothing else. The interfaces offered are fixed
// when the object is made, as COM requires for its whole life: once the window is gone each call
// answers CO_E_OBJNOTCONNECTED, the error clients are told to expect from an object that no
// longer exists.
class AccessibleOverlay final : public IAccessible, public IOleWindow, public IEnumVARIANT,
                                public IServiceProvider {
 public:
  AccessibleOverlay(HWND window, IAccessible* proxy, TextsSource source)
      : window_(window),
        proxy_(proxy),
        source_(source),
        offersChildren_(Offers(proxy, __uuidof(IEnumVARIANT))),
        offersServices_(Offers(proxy, __uuidof(IServiceProvider))) {}
  AccessibleOverlay(const AccessibleOverlay&) = delete;
  AccessibleOverlay& operator=(const AccessibleOverlay&) = delete;

  void Disconnect() {
    if (proxy_ != nullptr) proxy_->Release();
    proxy_ = nullptr;
    window_ = nullptr;
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (iid == __uuidof(IUnknown) || iid == __uuidof(IDispatch) || iid == __uuidof(IAccessible)) {
      *out = static_cast<IAccessible*>(this);
    } else if (iid == __uuidof(IOleWindow)) {
      *out = static_cast<IOleWindow*>(this);
    } else if (iid == __uuidof(IEnumVARIANT) && offersChildren_) {
      *out = static_cast<IEnumVARIANT*>(this);
    } else if (iid == __uuidof(IServiceProvider) && offersServices_) {
      *out = static_cast<IServiceProvider*>(this);
    } else {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0) {
      Disconnect();
      delete this;
    }
    return static_cast<ULONG>(left);
  }

  // Late binding is not offered: clients use the vtable, and through IDispatch the proxy
  // would answer in place of the page.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_INVALIDARG;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }

  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    if (proxy_ == nullptr) return CO_E_OBJNOTCONNECTED;
    if (IsSelf(child)) {
      if (const std::optional<std::u16string> text = source_(window_).name) return TextAnswer(*text, name);
    }
    return Forward(&IAccessible::get_accName, child, name);
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override {
    if (proxy_ == nullptr) return CO_E_OBJNOTCONNECTED;
    if (IsSelf(child)) {
      if (const std::optional<std::u16string> text = source_(window_).description) {
        return TextAnswer(*text, description);
      }
    }
    return Forward(&IAccessible::get_accDescription, child, description);
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    const Held self(static_cast<IAccessible*>(this));
    const HRESULT result = Forward(&IAccessible::get_accState, child, state);
    if (SUCCEEDED(result) && window_ != nullptr && IsSelf(child) && state->vt == VT_I4 &&
        source_(window_).busy) {
      state->lVal |= STATE_SYSTEM_BUSY;
    }
    return result;
  }

  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
    return Forward(&IAccessible::get_accParent, parent);
  }
  HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override {
    return Forward(&IAccessible::get_accChildCount, count);
  }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override {
    return Forward(&IAccessible::get_accChild, child, object);
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
    return Forward(&IAccessible::get_accValue, child, value);
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    return Forward(&IAccessible::get_accRole, child, role);
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
    return Forward(&IAccessible::get_accHelp, child, help);
  }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override {
    return Forward(&IAccessible::get_accHelpTopic, file, child, topic);
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
    return Forward(&IAccessible::get_accKeyboardShortcut, child, shortcut);
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
    return Forward(&IAccessible::get_accFocus, focus);
  }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
    return Forward(&IAccessible::get_accSelection, selection);
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
    return Forward(&IAccessible::get_accDefaultAction, child, action);
  }
  HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override {
    return Forward(&IAccessible::accSelect, flags, child);
  }
  HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height, VARIANT child) override {
    return Forward(&IAccessible::accLocation, left, top, width, height, child);
  }
  HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override {
    return Forward(&IAccessible::accNavigate, direction, start, end);
  }
  HRESULT STDMETHODCALLTYPE accHitTest(long left, long top, VARIANT* child) override {
    return Forward(&IAccessible::accHitTest, left, top, child);
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
    return Forward(&IAccessible::accDoDefaultAction, child);
  }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override {
    return Forward(&IAccessible::put_accName, child, name);
  }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
    return Forward(&IAccessible::put_accValue, child, value);
  }

  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
    if (window == nullptr) return E_INVALIDARG;
    if (proxy_ == nullptr) return CO_E_OBJNOTCONNECTED;
    *window = window_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  HRESULT STDMETHODCALLTYPE Next(ULONG count, VARIANT* items, ULONG* fetched) override {
    return ForwardTo<IEnumVARIANT>(&IEnumVARIANT::Next, count, items, fetched);
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override { return ForwardTo<IEnumVARIANT>(&IEnumVARIANT::Skip, count); }
  HRESULT STDMETHODCALLTYPE Reset() override { return ForwardTo<IEnumVARIANT>(&IEnumVARIANT::Reset); }
  HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT** copy) override {
    return ForwardTo<IEnumVARIANT>(&IEnumVARIANT::Clone, copy);
  }

  HRESULT STDMETHODCALLTYPE QueryService(REFGUID service, REFIID iid, void** out) override {
    if (proxy_ == nullptr) return CO_E_OBJNOTCONNECTED;
    // The proxy answers this one service to say it is the plain standard proxy, which UI
    // Automation then will not take as a provider: it would fall back to a proxy of its own
    // that knows nothing of the page.
    if (service == IIS_IsOleaccProxy) {
      if (out != nullptr) *out = nullptr;
      return E_NOINTERFACE;
    }
    // Named by its type: the headers add a template overload.
    using Method = HRESULT (STDMETHODCALLTYPE IServiceProvider::*)(REFGUID, REFIID, void**);
    return ForwardTo<IServiceProvider>(static_cast<Method>(&IServiceProvider::QueryService), service, iid, out);
  }

 private:
  ~AccessibleOverlay() = default;

  // Holds a COM object for the length of a call that may release the last other reference.
  class Held {
   public:
    explicit Held(IUnknown* object) : object_(object) { object_->AddRef(); }
    ~Held() { object_->Release(); }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;

   private:
    IUnknown* object_;
  };

  static bool Offers(IAccessible* proxy, REFIID iid) {
    IUnknown* found = nullptr;
    if (FAILED(proxy->QueryInterface(iid, reinterpret_cast<void**>(&found)))) return false;
    found->Release();
    return true;
  }

  // The call may end the window, which disconnects this object and releases the proxy: both
  // are held until it returns.
  template <typename Method, typename... Args>
  HRESULT Forward(Method method, Args... args) {
    IAccessible* const proxy = proxy_;
    if (proxy == nullptr) return CO_E_OBJNOTCONNECTED;
    const Held self(static_cast<IAccessible*>(this));
    const Held held(proxy);
    return (proxy->*method)(args...);
  }

  // The same for the proxy's other interfaces; the reference the query gives is the one held.
  template <typename Interface, typename Method, typename... Args>
  HRESULT ForwardTo(Method method, Args... args) {
    if (proxy_ == nullptr) return CO_E_OBJNOTCONNECTED;
    const Held self(static_cast<IAccessible*>(this));
    Interface* target = nullptr;
    if (FAILED(proxy_->QueryInterface(__uuidof(Interface), reinterpret_cast<void**>(&target)))) {
      return E_NOINTERFACE;
    }
    const HRESULT result = (target->*method)(args...);
    target->Release();
    return result;
  }

  LONG references_ = 1;
  HWND window_;
  IAccessible* proxy_;
  TextsSource source_;
  const bool offersChildren_;
  const bool offersServices_;
};

AccessibleOverlay* OverlayOf(HWND window) {
  return static_cast<AccessibleOverlay*>(GetPropW(window, kAccessibleProperty));
}

// The one object of a window, made on its first request; the property holds a reference.
AccessibleOverlay* ServedObject(HWND window, TextsSource source, const OleaccFunctions& oleacc) {
  if (AccessibleOverlay* served = OverlayOf(window)) return served;
  void* proxy = nullptr;
  if (FAILED(oleacc.createStdAccessibleObject(window, OBJID_CLIENT, __uuidof(IAccessible), &proxy))) return nullptr;
  auto* overlay = new AccessibleOverlay(window, static_cast<IAccessible*>(proxy), source);
  if (!SetPropW(window, kAccessibleProperty, overlay)) {
    overlay->Release();
    return nullptr;
  }
  return overlay;
}

// The lines last announced, for one window at a time.
struct Announced {
  HWND window = nullptr;
  std::u16string name;
  std::u16string description;
};
Announced g_announced;

}  // namespace

std::optional<LRESULT> AnswerGetObject(HWND window, WPARAM wParam, LPARAM lParam) {
  // Compared as a DWORD: on 64-bit Windows the sign extension of lParam would differ.
  if (static_cast<DWORD>(lParam) != static_cast<DWORD>(OBJID_CLIENT)) return std::nullopt;
  const TextsSource source = SourceFor(window);
  if (source == nullptr || !InSingleThreadedApartment()) return std::nullopt;
  const OleaccFunctions* oleacc = Oleacc();
  if (oleacc == nullptr) return std::nullopt;
  AccessibleOverlay* served = ServedObject(window, source, *oleacc);
  if (served == nullptr) return std::nullopt;
  return oleacc->lresultFromObject(__uuidof(IAccessible), wParam, static_cast<IAccessible*>(served));
}

void DisconnectAccessible(HWND window) {
  if (g_announced.window == window) g_announced = Announced();
  AccessibleOverlay* served = OverlayOf(window);
  if (served == nullptr) return;
  RemovePropW(window, kAccessibleProperty);
  served->Disconnect();
  served->Release();
}

void AnnouncePageChanges(HWND window) {
  const PageKind page = PageOf(window);
  Announced now{window, std::u16string(PageTitle(page)), PageDescription(page, g_setup)};
  if (g_announced.window == window) {
    if (now.name != g_announced.name) {
      NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, window, OBJID_CLIENT, CHILDID_SELF);
    } else if (now.description != g_announced.description) {
      NotifyWinEvent(EVENT_OBJECT_DESCRIPTIONCHANGE, window, OBJID_CLIENT, CHILDID_SELF);
    }
  }
  g_announced = std::move(now);
}

}  // namespace vaq
