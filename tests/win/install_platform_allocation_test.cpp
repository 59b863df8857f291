// What the Win32 platform creates is owned before anything else can fail. With allocation failing,
// creating the script file or starting PowerShell throws before the system call: no file is left
// behind and no process runs unwatched.
#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <new>
#include <string>

#include "base/handles_win.h"
#include "base/text.h"
#include "base/wide_win.h"
#include "install/install_platform_win.h"
#include "tests/unit/allocation_hooks.h"
#include "tests/win/system_folder_win.h"

namespace vaq {
namespace {

std::u16string TempDirectory() {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  return std::u16string(AsU16(temp));
}

std::u16string TempPath(std::u16string_view name) {
  return TempDirectory() + std::u16string(name) + DecimalText(GetCurrentProcessId());
}

// The running processes started from this image name, terminated on the way.
int EndProcessesNamed(const wchar_t* name) {
  const UniqueHandleKernel snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  EXPECT_TRUE(snapshot);
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  int found = 0;
  for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more; more = Process32NextW(snapshot.Get(), &entry)) {
    if (lstrcmpiW(entry.szExeFile, name) != 0) continue;
    ++found;
    const UniqueHandleKernel process(OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID));
    if (process) TerminateProcess(process.Get(), 1);
  }
  return found;
}

TEST(InstallPlatformAllocation, NoFileIsCreatedWithoutItsOwner) {
  WindowsInstallPlatform platform;
  const std::u16string path = TempPath(u"vaq-allocation-");
  DeleteFileW(AsWide(path));
  test::FailAllocations(true);
  EXPECT_THROW(platform.CreateNewFile(path), std::bad_alloc);
  test::FailAllocations(false);
  EXPECT_EQ(GetFileAttributesW(AsWide(path)), INVALID_FILE_ATTRIBUTES);
  DeleteFileW(AsWide(path));
}

TEST(InstallPlatformAllocation, NoProcessStartsWithoutItsOwner) {
  WindowsInstallPlatform platform;
  // A stand-in that would stay alive long enough to be seen.
  const std::u16string script = TempPath(u"vaq-allocation-script-");
  {
    const UniqueFile file(CreateFileW(AsWide(script), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(file);
    const char text[] = "# vaq-sleep-ms: 30000\r\n";
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file.Get(), text, sizeof(text) - 1, &written, nullptr));
  }
  const std::u16string standIn = std::u16string(AsU16(test::FolderOf(nullptr).c_str())) + u"\\powershell_standin.exe";
  std::u16string commandLine = u"\"" + standIn + u"\" -File \"" + script + u"\"";
  const std::u16string directory = TempDirectory();
  test::FailAllocations(true);
  EXPECT_THROW(platform.StartProcess(standIn, commandLine, directory), std::bad_alloc);
  test::FailAllocations(false);
  EXPECT_EQ(EndProcessesNamed(L"powershell_standin.exe"), 0);
  DeleteFileW(AsWide(script));
}

}  // namespace
}  // namespace vaq
