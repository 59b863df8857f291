#include "install/install_platform_win.h"

#include <windows.h>
#include <objbase.h>
#include <sddl.h>
#include <shlobj.h>

#include "base/handles_win.h"
#include "base/wide_win.h"

namespace vaq {
namespace {

// Only this platform hands these out, so the downcasts below are safe. Each is allocated before
// the system call that fills it: once a file exists or PowerShell runs, nothing may fail before
// its handle is owned and handed out.
struct WindowsDescriptor final : InstallPlatform::SecurityDescriptor {
  UniqueLocal owner;
};

struct WindowsFile final : InstallPlatform::File {
  UniqueFile owner;
};

// Members go in reverse order: the thread handle is closed before the process handle.
struct WindowsProcess final : InstallPlatform::Process {
  UniqueHandleKernel process;
  UniqueHandleKernel thread;
};

HANDLE FileOf(InstallPlatform::File& file) { return static_cast<WindowsFile&>(file).owner.Get(); }
HANDLE ProcessOf(InstallPlatform::Process& process) {
  return static_cast<WindowsProcess&>(process).process.Get();
}

std::unique_ptr<InstallPlatform::File> OpenFile(const std::u16string& path, DWORD access, DWORD share,
                                                DWORD disposition) {
  auto file = std::make_unique<WindowsFile>();
  file->owner.Reset(CreateFileW(AsWide(path), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file->owner) return nullptr;
  return file;
}

}  // namespace

uint32_t WindowsInstallPlatform::LastError() { return GetLastError(); }

bool WindowsInstallPlatform::QueryProgramData(char16_t* buffer) {
  return SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, AsWide(buffer)));
}

bool WindowsInstallPlatform::NewRunIdentifier(char16_t* buffer) {
  GUID guid;
  if (FAILED(CoCreateGuid(&guid))) return false;
  return StringFromGUID2(guid, AsWide(buffer), kGuidBufferLength) != 0;
}

std::unique_ptr<InstallPlatform::SecurityDescriptor> WindowsInstallPlatform::DescriptorFromSddl(
    std::u16string_view sddl) {
  const std::u16string text(sddl);
  auto descriptor = std::make_unique<WindowsDescriptor>();
  PSECURITY_DESCRIPTOR made = nullptr;
  const BOOL converted =
      ConvertStringSecurityDescriptorToSecurityDescriptorW(AsWide(text), SDDL_REVISION_1, &made, nullptr);
  descriptor->owner.Reset(made);
  if (!converted) return nullptr;
  return descriptor;
}

bool WindowsInstallPlatform::MakeDirectory(const std::u16string& path, const SecurityDescriptor& descriptor) {
  SECURITY_ATTRIBUTES attributes = {};
  attributes.nLength = sizeof(attributes);
  attributes.lpSecurityDescriptor = static_cast<const WindowsDescriptor&>(descriptor).owner.Get();
  attributes.bInheritHandle = FALSE;
  return CreateDirectoryW(AsWide(path), &attributes) != FALSE;
}

std::unique_ptr<InstallPlatform::File> WindowsInstallPlatform::CreateNewFile(const std::u16string& path) {
  return OpenFile(path, GENERIC_WRITE, 0, CREATE_NEW);
}

std::unique_ptr<InstallPlatform::File> WindowsInstallPlatform::OpenForReading(const std::u16string& path) {
  return OpenFile(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
}

bool WindowsInstallPlatform::Write(File& file, const void* data, uint32_t size, uint32_t& written) {
  DWORD count = 0;
  const BOOL ok = WriteFile(FileOf(file), data, size, &count, nullptr);
  written = count;
  return ok != FALSE;
}

bool WindowsInstallPlatform::Read(File& file, void* buffer, uint32_t size, uint32_t& read) {
  DWORD count = 0;
  const BOOL ok = ReadFile(FileOf(file), buffer, size, &count, nullptr);
  read = count;
  return ok != FALSE;
}

uint32_t WindowsInstallPlatform::QuerySystemDirectory(char16_t* buffer) {
  return GetSystemDirectoryW(AsWide(buffer), kPathBufferLength);
}

std::unique_ptr<InstallPlatform::Process> WindowsInstallPlatform::StartProcess(
    const std::u16string& application, std::u16string& commandLine, const std::u16string& workingDirectory) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  auto process = std::make_unique<WindowsProcess>();
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(AsWide(application), AsWide(commandLine.data()), nullptr, nullptr, FALSE,
                      CREATE_NO_WINDOW, nullptr, AsWide(workingDirectory), &startup, &info)) {
    return nullptr;
  }
  process->process.Reset(info.hProcess);
  process->thread.Reset(info.hThread);
  return process;
}

bool WindowsInstallPlatform::WaitForExit(Process& process) {
  return WaitForSingleObject(ProcessOf(process), INFINITE) == WAIT_OBJECT_0;
}

bool WindowsInstallPlatform::ExitCode(Process& process, uint32_t& code) {
  DWORD exitCode = 0;
  if (!GetExitCodeProcess(ProcessOf(process), &exitCode)) return false;
  code = exitCode;
  return true;
}

void WindowsInstallPlatform::DeletePath(const std::u16string& path) { DeleteFileW(AsWide(path)); }

void WindowsInstallPlatform::RemoveDirectoryPath(const std::u16string& path) { RemoveDirectoryW(AsWide(path)); }

void WindowsInstallPlatform::Post(WindowHandle window, uint32_t message, uintptr_t wParam) {
  PostMessageW(static_cast<HWND>(window), message, wParam, 0);
}

}  // namespace vaq
