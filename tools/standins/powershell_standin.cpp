// Test stand-in for Windows PowerShell, which Wine does not have. Started like PowerShell
// ("... -File <script>"), it records how it was started and does what the script's directive
// comments say. A GUI program on purpose: a console one has been seen to keep the work
// directory busy after it ended.
//
// Directives, one per line, anywhere in the script:
//   # vaq-exit: <unsigned decimal>   exit code (default 0)
//   # vaq-error-hex: <hex bytes>     appended to error.txt beside the script; the file is
//                                    written, even empty, as soon as one such line appears
//   # vaq-sleep-ms: <decimal>        sleeps before exiting
//   # vaq-leave: <file name>         leaves an empty file of that name beside the script
//
// Record: when VAQ_STANDIN_RECORD names a file, it receives UTF-8 lines "key=value" with the
// keys commandline, directory, startflags, showwindow, sddl (of the working directory), script
// (hex of the script's first bytes) and bitness (32 or 64). tools/standins/standin_record.ps1 makes the
// same record from Windows PowerShell.
#include <windows.h>
#include <sddl.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "tools/common/hex_text.h"
#include "tools/common/utf8_text_win.h"

namespace {

using vaq::tools::Hex;
using vaq::tools::Utf8;

constexpr DWORD kScriptRecordLimit = 4096;
constexpr DWORD kScriptReadLimit = 2 * 1024 * 1024;

std::wstring Widen(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string Unhex(const std::string& text) {
  std::string out;
  for (size_t i = 0; i + 1 < text.size(); i += 2) {
    const int high = HexValue(text[i]);
    const int low = HexValue(text[i + 1]);
    if (high < 0 || low < 0) break;
    out.push_back(static_cast<char>(high * 16 + low));
  }
  return out;
}

std::string ReadFileBytes(const std::wstring& path, DWORD limit) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string bytes(limit, '\0');
  DWORD read = 0;
  if (!ReadFile(file, &bytes[0], limit, &read, nullptr)) read = 0;
  CloseHandle(file);
  bytes.resize(read);
  return bytes;
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  const HANDLE file =
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  if (!bytes.empty()) WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

std::string DirectorySddl(const std::wstring& path) {
  DWORD needed = 0;
  GetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &needed);
  if (needed == 0) return "?";
  std::vector<BYTE> descriptor(needed);
  if (!GetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, descriptor.data(), needed, &needed)) return "?";
  wchar_t* text = nullptr;
  if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor.data(), SDDL_REVISION_1,
                                                            DACL_SECURITY_INFORMATION, &text, nullptr)) {
    return "?";
  }
  const std::string sddl = Utf8(text);
  LocalFree(text);
  return sddl;
}

std::wstring ScriptPath() {
  int count = 0;
  wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  std::wstring path;
  for (int i = 0; i + 1 < count; ++i) {
    if (lstrcmpiW(arguments[i], L"-File") == 0) path = arguments[i + 1];
  }
  LocalFree(arguments);
  return path;
}

std::wstring EnvironmentValue(const wchar_t* name) {
  wchar_t value[MAX_PATH] = {};
  const DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH);
  return length > 0 && length < MAX_PATH ? std::wstring(value, length) : std::wstring();
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  wchar_t directory[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, directory);
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  GetStartupInfoW(&startup);

  const std::wstring scriptPath = ScriptPath();
  const std::wstring scriptDirectory = scriptPath.substr(0, scriptPath.find_last_of(L'\\'));
  const std::string script = ReadFileBytes(scriptPath, kScriptReadLimit);

  const std::wstring recordPath = EnvironmentValue(L"VAQ_STANDIN_RECORD");
  if (!recordPath.empty()) {
    std::string record;
    record += "commandline=" + Utf8(GetCommandLineW()) + "\n";
    record += "directory=" + Utf8(directory) + "\n";
    record += "startflags=" + std::to_string(startup.dwFlags) + "\n";
    record += "showwindow=" + std::to_string(startup.wShowWindow) + "\n";
    record += "sddl=" + DirectorySddl(directory) + "\n";
    record += "script=" + Hex(script.substr(0, kScriptRecordLimit)) + "\n";
    record += "bitness=" + std::to_string(sizeof(void*) * 8) + "\n";
    WriteFileBytes(recordPath, record);
  }

  UINT exitCode = 0;
  DWORD sleepMs = 0;
  bool writeError = false;
  std::string errorBytes;
  size_t start = 0;
  while (start < script.size()) {
    size_t end = script.find('\n', start);
    if (end == std::string::npos) end = script.size();
    std::string line = script.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t colon = line.find(':');
    if (line.rfind("# vaq-", 0) != 0 || colon == std::string::npos) continue;
    const std::string key = line.substr(6, colon - 6);
    std::string value = line.substr(colon + 1);
    if (!value.empty() && value[0] == ' ') value.erase(0, 1);
    if (key == "exit") exitCode = static_cast<UINT>(std::stoul(value));
    if (key == "sleep-ms") sleepMs = static_cast<DWORD>(std::stoul(value));
    if (key == "error-hex") writeError = true, errorBytes += Unhex(value);
    if (key == "leave") WriteFileBytes(scriptDirectory + L"\\" + Widen(value), {});
  }
  if (writeError) WriteFileBytes(scriptDirectory + L"\\error.txt", errorBytes);
  if (sleepMs > 0) Sleep(sleepMs);

  // Let go of the work directory so that it can be removed once we are gone.
  wchar_t system[MAX_PATH] = {};
  GetSystemDirectoryW(system, MAX_PATH);
  SetCurrentDirectoryW(system);
  return static_cast<int>(exitCode);
}
