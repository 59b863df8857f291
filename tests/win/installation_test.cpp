// The installation worker for real: Windows files, ACLs, GUIDs and processes. Under Wine the
// PowerShell stand-in is put where PowerShell belongs; on Windows the real one runs the same
// scripts (tests/win/standin_script_win.h). Only the download is substituted.
#include <windows.h>
#include <sddl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "base/failure_text.h"
#include "base/handles_win.h"
#include "base/setup_context.h"
#include "base/text.h"
#include "base/wide_win.h"
#include "install/install_platform_win.h"
#include "install/installation_worker.h"
#include "install/powershell_path.h"
#include "tests/win/standin_script_win.h"
#include "tests/win/system_folder_win.h"
#include "tools/common/hex_text.h"
#include "tools/common/machine_gate_win.h"

namespace vaq {
namespace {

using vaq::tools::Hex;

const std::u16string kGrant = u"0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";
const std::string kHeadLine =
    "\xEF\xBB\xBF$vaqSetupErrorPath=Join-Path (Split-Path -Parent $MyInvocation.MyCommand.Path) 'error.txt'\r\n";

std::u16string Fallback(std::u16string_view code) {
  return u"PowerShell 安装进程未成功完成（退出码 " + std::u16string(code) +
         u"）。\n未收到脚本错误详情，请检查安全软件拦截记录和 PowerShell 运行环境。";
}

std::u16string SystemDirectory() {
  wchar_t buffer[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryW(buffer, MAX_PATH);
  return std::u16string(AsU16View(buffer, length));
}

std::u16string ProgramData() {
  wchar_t buffer[MAX_PATH] = {};
  EXPECT_EQ(SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, buffer), S_OK);
  return AsU16(buffer);
}

// Names of the entries of a folder that match a pattern.
std::vector<std::u16string> Entries(const std::u16string& folder, std::u16string_view pattern) {
  std::vector<std::u16string> names;
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW(AsWide(folder + u"\\" + std::u16string(pattern)), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::u16string name = AsU16(found.cFileName);
    if (name != u"." && name != u"..") names.push_back(name);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

std::u16string CurrentUserSid() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return u"?";
  const UniqueHandleKernel tokenOwner(token);
  std::vector<BYTE> buffer(512);
  DWORD size = 0;
  wchar_t* sid = nullptr;
  if (!GetTokenInformation(token, TokenUser, buffer.data(), static_cast<DWORD>(buffer.size()), &size) ||
      !ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &sid)) {
    return u"?";
  }
  const UniqueLocal sidOwner(sid);
  return AsU16(sid);
}

std::vector<std::u16string> WorkDirectories() { return Entries(ProgramData(), u"VAQ-Setup-*"); }

std::string ReadBytes(const std::u16string& path) {
  const HANDLE file = CreateFileW(AsWide(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string bytes(1 << 20, '\0');
  DWORD read = 0;
  ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr);
  CloseHandle(file);
  bytes.resize(read);
  return bytes;
}

using test::StandinScript;

// What the stand-in wrote about its start, by key.
using Record = std::map<std::string, std::u16string>;

struct Outcome {
  bool posted = false;
  WPARAM wParam = 99;
  LPARAM lParam = 99;
  std::u16string failureText;
  Record record;
};

// Under Wine the stand-in takes PowerShell's place for the whole suite; Wine's own powershell.exe
// is set aside and put back afterwards. Elsewhere the system's Windows PowerShell runs, and is
// left as it is.
class InstallationRun : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const std::u16string system = SystemDirectory();
    powerShell_ = system + std::u16string(kPowerShellTail);
    if (tools::UnderWine()) {
      for (size_t slash = powerShell_.find(u'\\', system.size() + 1); slash != std::u16string::npos;
           slash = powerShell_.find(u'\\', slash + 1)) {
        const std::u16string folder = powerShell_.substr(0, slash);
        if (CreateDirectoryW(AsWide(folder), nullptr)) createdFolders_.insert(createdFolders_.begin(), folder);
      }
      aside_ = powerShell_ + u".vaq-aside";
      setAside_ = MoveFileW(AsWide(powerShell_), AsWide(aside_)) != FALSE;
      const std::wstring standIn = test::FolderOf(nullptr) + L"\\powershell_standin.exe";
      ASSERT_TRUE(CopyFileW(standIn.c_str(), AsWide(powerShell_), TRUE)) << GetLastError();
      standInPlaced_ = true;
    } else if (!PowerShellAnswers()) {
      missing_ = "no working Windows PowerShell at " + std::string(powerShell_.begin(), powerShell_.end());
    }

    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    recordPath_ = std::u16string(AsU16(temp)) + u"vaq-standin-" + DecimalText(GetCurrentProcessId()) + u".txt";
    SetEnvironmentVariableW(L"VAQ_STANDIN_RECORD", AsWide(recordPath_));
  }

  static void TearDownTestSuite() {
    SetEnvironmentVariableW(L"VAQ_STANDIN_RECORD", nullptr);
    DeleteFileW(AsWide(recordPath_));
    if (standInPlaced_) DeleteFileW(AsWide(powerShell_));
    if (setAside_) MoveFileW(AsWide(aside_), AsWide(powerShell_));
    for (const std::u16string& folder : createdFolders_) RemoveDirectoryW(AsWide(folder));
  }

  // Whether the PowerShell at the system path runs a command and passes on its exit code (Wine's
  // own powershell.exe, met where a run pretends not to be under Wine, does not).
  static bool PowerShellAnswers() {
    std::u16string commandLine = u"\"" + powerShell_ + u"\" -NoProfile -NonInteractive -Command exit 7";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started = {};
    if (!CreateProcessW(AsWide(powerShell_), AsWide(&commandLine[0]), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup, &started)) {
      return false;
    }
    const UniqueHandleKernel process(started.hProcess);
    const UniqueHandleKernel thread(started.hThread);
    DWORD code = 0;
    return WaitForSingleObject(process.Get(), 120000) == WAIT_OBJECT_0 &&
           GetExitCodeProcess(process.Get(), &code) && code == 7;
  }

  void SetUp() override {
    if (!missing_.empty()) GTEST_SKIP() << missing_;
    ASSERT_EQ(WorkDirectories(), std::vector<std::u16string>{});
  }

  // One run whose download yields `script` (or fails with the text "下载失败").
  static Outcome Run(const std::string& script, bool downloadOk = true) {
    Outcome outcome;
    SetupContext context;
    context.grant = kGrant;
    const HWND window = CreateWindowExW(0, L"STATIC", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    EXPECT_NE(window, nullptr);
    const ServiceRequester download = [&](SetupContext& c, std::u16string_view, std::u16string_view,
                                          std::u16string_view, std::string_view, SecretBytes& response,
                                          uint32_t) {
      if (!downloadOk) c.failureText = u"下载失败";
      response = script;
      return downloadOk;
    };
    WindowsInstallPlatform platform;
    RunInstallation(context, window, platform, download);
    MSG message;
    outcome.posted = PeekMessageW(&message, window, WM_SETUP_INSTALL_DONE, WM_SETUP_INSTALL_DONE, PM_REMOVE);
    if (outcome.posted) outcome.wParam = message.wParam, outcome.lParam = message.lParam;
    DestroyWindow(window);
    outcome.failureText = context.failureText;
    outcome.record = ReadRecord();
    return outcome;
  }

  static Record ReadRecord() {
    Record record;
    const std::string bytes = ReadBytes(recordPath_);
    DeleteFileW(AsWide(recordPath_));
    size_t start = 0;
    while (start < bytes.size()) {
      const size_t end = bytes.find('\n', start);
      const std::string line = bytes.substr(start, end - start);
      const size_t equals = line.find('=');
      record[line.substr(0, equals)] = Utf8ToWide(line.substr(equals + 1));
      start = end + 1;
    }
    return record;
  }

  static inline std::vector<std::u16string> createdFolders_;
  static inline std::u16string powerShell_, aside_, recordPath_;
  static inline bool setAside_ = false, standInPlaced_ = false;
  static inline std::string missing_;
};

TEST_F(InstallationRun, ExitCodeAndErrorFileGiveTheOutcome) {
  const std::string grant(kGrant.begin(), kGrant.end());
  const struct Case {
    const char* name;
    uint32_t exitCode;
    bool writesError;
    std::string error;
    std::u16string text;  // empty: success
  } cases[] = {
      {"exit 0 with error.txt", 0, true, "not read", u""},
      {"exit 1 without error.txt", 1, false, "", Fallback(u"1")},
      {"largest exit code", 4294967295, false, "", Fallback(u"4294967295")},
      {"empty error.txt", 2, true, "", Fallback(u"2")},
      {"invalid UTF-8", 3, true, "\xC3\x28 text", Fallback(u"3")},
      {"UTF-16", 4, true, std::string("\xFF\xFE" "E\0r\0r\0", 8), Fallback(u"4")},
      {"8192 bytes cut inside a character", 5, true, std::string(8191, 'x') + "\xE5\xAE\x89", Fallback(u"5")},
      {"CR LF and a grant", 6, true, "第一行\r\n第二行 grant=" + grant + "\r\n",
       u"第一行\n第二行 grant=[已隐藏凭证]\n"},
      {"byte-order mark kept", 7, true, "\xEF\xBB\xBF脚本失败", u"\uFEFF脚本失败"},
      {"long text cut by redaction", 8, true, std::string(9000, 'y'), std::u16string(1000, u'y')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StandinScript script{"Write-Host test\r\n", c.exitCode, std::nullopt, 0, ""};
    if (c.writesError) script.error = c.error;
    const Outcome outcome = Run(script.Text());
    EXPECT_TRUE(outcome.posted);
    EXPECT_EQ(outcome.wParam, c.text.empty() ? 1u : 0u);
    EXPECT_EQ(outcome.lParam, 0);
    EXPECT_EQ(outcome.failureText, c.text);
    EXPECT_FALSE(outcome.record.empty()) << "the stand-in ran";
    EXPECT_EQ(WorkDirectories(), std::vector<std::u16string>{});
  }
}

TEST_F(InstallationRun, StartsPowerShellHiddenInTheProtectedWorkDirectory) {
  // The body keeps its own byte-order mark, mixed line ends and non-ASCII text.
  const std::string body = StandinScript{"\xEF\xBB\xBF# 安装\nWrite-Host a\r\n", 0, std::nullopt, 0, ""}.Text();
  const Outcome outcome = Run(body);
  EXPECT_EQ(outcome.wParam, 1u);
  EXPECT_EQ(outcome.failureText, u"");

  const std::u16string directory = outcome.record.at("directory");
  const std::u16string prefix = ProgramData() + u"\\VAQ-Setup-";
  ASSERT_EQ(directory.rfind(prefix, 0), 0u);
  const std::u16string guid = directory.substr(prefix.size());
  ASSERT_EQ(guid.size(), 38u);
  for (size_t i = 0; i < guid.size(); ++i) {
    const char16_t c = guid[i];
    if (i == 0) EXPECT_EQ(c, u'{');
    else if (i == 37) EXPECT_EQ(c, u'}');
    else if (i == 9 || i == 14 || i == 19 || i == 24) EXPECT_EQ(c, u'-');
    else EXPECT_TRUE((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F')) << i;
  }

  const std::u16string powerShell = SystemDirectory() + std::u16string(kPowerShellTail);
  EXPECT_EQ(outcome.record.at("commandline"),
            u"\"" + powerShell + u"\" -NoProfile -NonInteractive -ExecutionPolicy Bypass -File \"" + directory +
                u"\\install.ps1\"");
  EXPECT_EQ(outcome.record.at("startflags"), DecimalText(STARTF_USESHOWWINDOW));
  EXPECT_EQ(outcome.record.at("showwindow"), DecimalText(SW_HIDE));
  EXPECT_EQ(outcome.record.at("script"), WidenAscii(Hex(kHeadLine + body)));
  // The PowerShell of the program's own bitness: a 32-bit program under WOW64 is sent to SysWOW64.
  const std::u16string bitness = outcome.record.at("bitness");
  RecordProperty("powershell_bitness", std::string(bitness.begin(), bitness.end()));
  EXPECT_EQ(bitness, DecimalText(static_cast<uint32_t>(sizeof(void*) * 8)));

  // Windows gives back "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)". Wine keeps both inheritable
  // full-access entries in order but drops the protection flag and names Administrators by the
  // Wine user's own SID, so either form is accepted.
  const std::u16string sddl = outcome.record.at("sddl");
  RecordProperty("work_directory_sddl", std::string(sddl.begin(), sddl.end()));
  const std::u16string entries = u"(A;OICI;FA;;;SY)(A;OICI;FA;;;";
  const std::vector<std::u16string> accepted = {u"D:P" + entries + u"BA)", u"D:" + entries + u"BA)",
                                                u"D:" + entries + CurrentUserSid() + u")"};
  EXPECT_NE(std::find(accepted.begin(), accepted.end(), sddl), accepted.end())
      << std::string(sddl.begin(), sddl.end());
}

TEST_F(InstallationRun, ExtraFileKeepsTheDirectoryAndTheOutcome) {
  const Outcome outcome =
      Run(StandinScript{"", 9, "脚本失败", 0, "extra.txt"}.Text());
  EXPECT_EQ(outcome.wParam, 0u);
  EXPECT_EQ(outcome.failureText, u"脚本失败");
  const std::vector<std::u16string> left = WorkDirectories();
  ASSERT_EQ(left.size(), 1u);
  const std::u16string directory = ProgramData() + u"\\" + left[0];
  EXPECT_EQ(directory, outcome.record.at("directory"));
  EXPECT_EQ(Entries(directory, u"*"), std::vector<std::u16string>{u"extra.txt"});
  EXPECT_TRUE(DeleteFileW(AsWide(directory + u"\\extra.txt")));
  EXPECT_TRUE(RemoveDirectoryW(AsWide(directory)));
}

TEST_F(InstallationRun, FailedDownloadLeavesNothing) {
  const Outcome outcome = Run(StandinScript{}.Text(), false);
  EXPECT_TRUE(outcome.posted);
  EXPECT_EQ(outcome.wParam, 0u);
  EXPECT_EQ(outcome.failureText, u"下载失败");
  EXPECT_TRUE(outcome.record.empty()) << "PowerShell never started";
  EXPECT_EQ(WorkDirectories(), std::vector<std::u16string>{});
}

}  // namespace
}  // namespace vaq
