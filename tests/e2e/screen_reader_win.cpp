// Reads the installer's window as a screen reader does, from another process over MSAA, from the
// moment the window exists, again and again, and appends each reading that differs from the one
// before to the file OUT as a line of JSON (UTF-8):
//   {"oleacc_before": bool, "window": {name, description, value, state},
//    "controls": [{id, class, name, ..., state}]}
// with the visible child controls in creation order; oleacc_before tells whether the installer
// had oleacc.dll loaded before this reading. Strings a call refused are null. It stops when the
// window is gone or the file STOP exists. OUT exists, empty, as soon as the tool runs: start the
// installer then. One process reads every page of a run, so a page that lasts only a countdown
// is read while it is on screen, however slowly programs start.
//   screen_reader.exe OUT.jsonl STOP    (exit code 0, or 1 when OUT cannot be written)
#include <windows.h>
#include <oleacc.h>
#include <tlhelp32.h>

#include <cstdio>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tests/win/accessible_self_win.h"
#include "tools/common/utf8_text_win.h"

namespace {

using nlohmann::json;
using vaq::tools::Utf8;

// One text property of the object itself; null when the call fails.
json Text(IAccessible* object, HRESULT (STDMETHODCALLTYPE IAccessible::*getter)(VARIANT, BSTR*)) {
  BSTR text = nullptr;
  json value = nullptr;
  if ((object->*getter)(vaq::SelfChild(), &text) == S_OK) {
    value = Utf8({text ? text : L"", text ? SysStringLen(text) : 0});
  }
  SysFreeString(text);
  return value;
}

json Read(IAccessible* object) {
  json read;
  read["name"] = Text(object, &IAccessible::get_accName);
  read["description"] = Text(object, &IAccessible::get_accDescription);
  read["value"] = Text(object, &IAccessible::get_accValue);
  VARIANT state;
  VariantInit(&state);
  read["state"] = nullptr;
  if (object->get_accState(vaq::SelfChild(), &state) == S_OK && state.vt == VT_I4) read["state"] = state.lVal;
  VariantClear(&state);
  return read;
}

json ReadWindow(HWND window) {
  IAccessible* object = nullptr;
  // __uuidof, not IID_IAccessible: x86-64 MinGW's liboleacc.a exports that name as a code thunk,
  // which the linker takes for the GUID, and every request is then refused with E_NOINTERFACE.
  const HRESULT found =
      AccessibleObjectFromWindow(window, OBJID_CLIENT, __uuidof(IAccessible), reinterpret_cast<void**>(&object));
  if (FAILED(found)) {
    return nullptr;
  }
  json read = Read(object);
  object->Release();
  return read;
}

bool HasModule(HWND window, const wchar_t* name) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE | TH32CS_SNAPMODULE32, process);
  if (snapshot == INVALID_HANDLE_VALUE) return false;
  MODULEENTRY32W module = {};
  module.dwSize = sizeof(module);
  bool found = false;
  for (BOOL more = Module32FirstW(snapshot, &module); more && !found; more = Module32NextW(snapshot, &module)) {
    found = lstrcmpiW(module.szModule, name) == 0;
  }
  CloseHandle(snapshot);
  return found;
}

BOOL CALLBACK CollectChild(HWND child, LPARAM children) {
  reinterpret_cast<std::vector<HWND>*>(children)->push_back(child);
  return TRUE;
}

json Reading(HWND window) {
  json out;
  out["oleacc_before"] = HasModule(window, L"oleacc.dll");
  out["window"] = ReadWindow(window);
  out["controls"] = json::array();
  std::vector<HWND> children;
  EnumChildWindows(window, CollectChild, reinterpret_cast<LPARAM>(&children));
  for (HWND child : children) {
    if (!IsWindowVisible(child)) continue;
    json control = ReadWindow(child);
    if (control.is_null()) continue;
    wchar_t className[64] = {};
    control["class"] = Utf8({className, size_t(GetClassNameW(child, className, 64))});
    control["id"] = GetDlgCtrlID(child);
    out["controls"].push_back(control);
  }
  return out;
}

bool Append(const wchar_t* path, const std::string& text) {
  FILE* file = _wfopen(path, L"ab");
  if (file == nullptr) return false;
  const bool written = fwrite(text.data(), 1, text.size(), file) == text.size();
  return fclose(file) == 0 && written;
}

constexpr DWORD kPollMs = 50;

bool Stopped(const wchar_t* stop) { return GetFileAttributesW(stop) != INVALID_FILE_ATTRIBUTES; }

int Watch(HWND window, const wchar_t* out, const wchar_t* stop) {
  std::string last;
  while (IsWindow(window) && !Stopped(stop)) {
    json reading = Reading(window);
    // Only the first reading can find oleacc loaded before any reading.
    if (!last.empty()) reading["oleacc_before"] = true;
    const std::string line = reading.dump();
    if (line != last && !reading["window"].is_null()) {
      if (!Append(out, line + "\n")) return 1;
      last = line;
    }
    Sleep(kPollMs);
  }
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) return 2;
  if (!Append(argv[1], "")) return 1;
  HWND window = nullptr;
  while ((window = FindWindowW(L"VAQOnlineSetup", nullptr)) == nullptr) {
    if (Stopped(argv[2])) return 0;
    Sleep(kPollMs);
  }
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
  const int code = Watch(window, argv[1], argv[2]);
  CoUninitialize();
  return code;
}
