// machine_facts.exe <out.json>: what the kit's report says first about the Windows it ran on.
// Each fact is read the way the installer meets it, so a difference in the report explains a
// difference in the results.
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <fstream>
#include <string>

#include <nlohmann/json.hpp>

#include "base/handles_win.h"
#include "base/wide_win.h"
#include "install/powershell_path.h"
#include "tools/common/machine_gate_win.h"
#include "tools/common/utf8_text_win.h"

namespace {

using vaq::tools::Utf8;

DWORD MachineDword(const wchar_t* key, const wchar_t* value, DWORD fallback) {
  DWORD data = 0, size = sizeof(data);
  return RegGetValueW(HKEY_LOCAL_MACHINE, key, value, RRF_RT_REG_DWORD, nullptr, &data, &size) == ERROR_SUCCESS
             ? data
             : fallback;
}

// The value, or null when it is not set (Windows then takes its default).
nlohmann::json MachineSetting(const wchar_t* key, const wchar_t* value) {
  DWORD data = 0, size = sizeof(data);
  if (RegGetValueW(HKEY_LOCAL_MACHINE, key, value, RRF_RT_REG_DWORD, nullptr, &data, &size) != ERROR_SUCCESS) {
    return nullptr;
  }
  return data;
}

// RtlGetVersion tells the truth where GetVersionEx answers by the manifest.
std::string WindowsBuild() {
  using RtlGetVersion = LONG(WINAPI*)(OSVERSIONINFOW*);
  OSVERSIONINFOW version = {};
  version.dwOSVersionInfoSize = sizeof(version);
  const auto get = reinterpret_cast<RtlGetVersion>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
  if (get == nullptr || get(&version) != 0) return "unknown";
  // Windows before 10 keeps no update build revision.
  const nlohmann::json revision = MachineSetting(L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", L"UBR");
  return std::to_string(version.dwMajorVersion) + "." + std::to_string(version.dwMinorVersion) + "." +
         std::to_string(version.dwBuildNumber) +
         (revision.is_null() ? "" : "." + std::to_string(revision.get<DWORD>())) +
         (version.szCSDVersion[0] ? " " + Utf8(version.szCSDVersion) : "");
}

bool Wow64Process() {
  BOOL wow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

// A 64-bit Windows that can still run 32-bit programs has its WOW64 system folder.
bool Wow64Available() {
  wchar_t folder[MAX_PATH] = {};
  const UINT length = GetSystemWow64DirectoryW(folder, MAX_PATH);
  return length > 0 && length < MAX_PATH && GetFileAttributesW(folder) != INVALID_FILE_ATTRIBUTES;
}

std::wstring PowerShellPath() {
  wchar_t system[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryW(system, MAX_PATH);
  return std::wstring(system, length < MAX_PATH ? length : 0).append(vaq::AsWideView(vaq::kPowerShellTail));
}

int CALLBACK FoundFont(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

bool FontInstalled(const wchar_t* face) {
  const HDC screen = GetDC(nullptr);
  LOGFONTW wanted = {};
  wanted.lfCharSet = DEFAULT_CHARSET;
  lstrcpynW(wanted.lfFaceName, face, LF_FACESIZE);
  bool found = false;
  EnumFontFamiliesExW(screen, &wanted, FoundFont, reinterpret_cast<LPARAM>(&found), 0);
  ReleaseDC(nullptr, screen);
  return found;
}

int SystemDpi() {
  const HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  return dpi;
}

const char* Gate() {
  if (vaq::tools::UnderWine()) return "Wine";
  return vaq::tools::MayChangeMachine() ? "disposable machine" : "protected machine";
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fwprintf(stderr, L"usage: machine_facts.exe <out.json>\n");
    return 2;
  }
  // The system DPI as a DPI-aware program sees it, not the 96 a legacy one is told.
  SetProcessDPIAware();
  const wchar_t* policies = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
  // The installer asks WinHTTP for TLS 1.2 by name: only Enabled = 0 turns it off for it.
  const wchar_t* tls12Client =
      L"SYSTEM\\CurrentControlSet\\Control\\SecurityProviders\\SCHANNEL\\Protocols\\TLS 1.2\\Client";
  const std::wstring powerShell = PowerShellPath();
  const nlohmann::json facts = {
      {"windows_build", WindowsBuild()},
      {"wine", vaq::tools::WineRuns()},
      {"program_bits", sizeof(void*) * 8},
      {"wow64_process", Wow64Process()},
      {"wow64_available", Wow64Available()},
      {"set_default_dll_directories",
       GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories") != nullptr},
      {"powershell_path", Utf8(powerShell)},
      {"powershell_present", GetFileAttributesW(powerShell.c_str()) != INVALID_FILE_ATTRIBUTES},
      {"tls12_client_enabled", MachineSetting(tls12Client, L"Enabled")},
      {"tls12_client_disabled_by_default", MachineSetting(tls12Client, L"DisabledByDefault")},
      {"uac_enabled", MachineDword(policies, L"EnableLUA", 1) != 0},
      {"elevated", IsUserAnAdmin() != FALSE},
      {"system_dpi", SystemDpi()},
      {"yahei_ui_font", FontInstalled(L"Microsoft YaHei UI")},
      {"gate", Gate()},
  };
  std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
  out << facts.dump(2) << '\n';
  return out.good() ? 0 : 1;
}
