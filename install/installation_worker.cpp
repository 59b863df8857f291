#include "install/installation_worker.h"

#include <algorithm>
#include <array>
#include <exception>

#include "base/failure_text.h"
#include "base/service_contract.h"
#include "base/text.h"
#include "install/powershell_path.h"

namespace vaq {
namespace {

using File = InstallPlatform::File;
using Process = InstallPlatform::Process;

constexpr std::u16string_view kWorkDirectoryPrefix = u"\\VAQ-Setup-";
constexpr std::u16string_view kScriptName = u"\\install.ps1";
constexpr std::u16string_view kErrorName = u"\\error.txt";
constexpr std::u16string_view kPowerShellArguments =
    u" -NoProfile -NonInteractive -ExecutionPolicy Bypass -File ";
// Protected: nothing inherited from ProgramData, so ordinary users can neither read nor change.
constexpr std::u16string_view kWorkDirectorySddl = u"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
// Gives the script the full path of error.txt beside it.
constexpr std::string_view kErrorPathLine =
    "$vaqSetupErrorPath=Join-Path (Split-Path -Parent $MyInvocation.MyCommand.Path) 'error.txt'\r\n";

constexpr std::u16string_view kNoProgramData = u"无法定位系统安装目录 ProgramData。";
constexpr std::u16string_view kNoRunIdentifier = u"无法创建本次安装的临时标识。";
constexpr std::u16string_view kDescriptorFailed = u"设置安装目录保护权限失败";
constexpr std::u16string_view kDirectoryFailed = u"创建受保护的安装目录失败";
constexpr std::u16string_view kCreateScriptFailed = u"创建安装脚本失败";
constexpr std::u16string_view kWriteScriptFailed = u"写入安装脚本失败";
constexpr std::u16string_view kNoSystemDirectory = u"无法定位 Windows 系统目录";
constexpr std::u16string_view kStartFailed = u"无法启动 PowerShell 安装进程";
constexpr std::u16string_view kWaitFailed = u"等待安装进程结束失败";
constexpr std::u16string_view kExitCodeFailed = u"读取安装进程结果失败";
constexpr std::u16string_view kExitCodeHead = u"PowerShell 安装进程未成功完成（退出码 ";
constexpr std::u16string_view kExitCodeTail =
    u"）。\n未收到脚本错误详情，请检查安全软件拦截记录和 PowerShell 运行环境。";
constexpr std::u16string_view kExceptionHead = u"安装遇到异常：";
constexpr std::u16string_view kUnknownException = u"安装遇到未知异常，请联系管理员检查安装环境。";

// Text up to the first NUL of a fixed buffer, never beyond it.
std::u16string BufferText(const char16_t* buffer, size_t capacity) {
  return std::u16string(buffer, std::find(buffer, buffer + capacity, u'\0'));
}

std::u16string Quoted(const std::u16string& text) { return u"\"" + text + u"\""; }

struct WorkPaths {
  std::u16string directory;
  std::u16string script;
  std::u16string error;
};

void RemoveWorkFiles(InstallPlatform& platform, const WorkPaths& paths) {
  platform.DeletePath(paths.error);
  platform.DeletePath(paths.script);
  platform.RemoveDirectoryPath(paths.directory);
}

bool CreateWorkDirectory(SetupContext& context, InstallPlatform& platform,
                         const std::u16string& directory) {
  std::unique_ptr<InstallPlatform::SecurityDescriptor> descriptor =
      platform.DescriptorFromSddl(kWorkDirectorySddl);
  if (!descriptor) {
    SetWindowsFailure(context, kDescriptorFailed, platform.LastError());
    return false;
  }
  const bool created = platform.MakeDirectory(directory, *descriptor);
  const uint32_t error = created ? 0 : platform.LastError();
  descriptor.reset();
  if (!created) SetWindowsFailure(context, kDirectoryFailed, error);
  return created;
}

// Byte-order mark in a write of its own, then the prepended line and the body in one write.
bool WriteScript(InstallPlatform& platform, File& file, std::string_view body) {
  uint32_t written = 0;
  if (!platform.Write(file, kByteOrderMark.data(), kByteOrderMark.size(), written) ||
      written != kByteOrderMark.size()) {
    return false;
  }
  std::string content;
  content.reserve(kErrorPathLine.size() + body.size());
  content.append(kErrorPathLine).append(body);
  const auto size = static_cast<uint32_t>(content.size());
  return platform.Write(file, content.data(), size, written) && written == size;
}

std::u16string ExitCodeText(uint32_t exitCode) {
  std::u16string text(kExitCodeHead);
  text.append(DecimalText(exitCode)).append(kExitCodeTail);
  return text;
}

// Steps 13 to 16: true only for exit code 0.
bool AwaitScript(SetupContext& context, InstallPlatform& platform, Process& process,
                 const std::u16string& errorPath) {
  if (!platform.WaitForExit(process)) {
    SetWindowsFailure(context, kWaitFailed, platform.LastError());
    return false;
  }
  uint32_t exitCode = 0;
  if (!platform.ExitCode(process, exitCode)) {
    SetWindowsFailure(context, kExitCodeFailed, platform.LastError());
    return false;
  }
  if (exitCode == 0) return true;
  context.failureText = ReadScriptError(platform, errorPath);
  // Built here, not redacted: it holds nothing from outside.
  if (context.failureText.empty()) context.failureText = ExitCodeText(exitCode);
  return false;
}

// Steps 1 to 17; the outcome, with failureText set on failure.
bool Install(SetupContext& context, InstallPlatform& platform, const ServiceRequester& request) {
  SecretText header(service::kGrantHeaderName);
  header.append(context.grant.view()).append(u"\r\n");
  SecretBytes body;
  if (!request(context, service::kBootstrapVerb, service::kBootstrapPath, header.view(), {}, body,
               service::kBootstrapLimit)) {
    return false;
  }

  std::array<char16_t, kPathBufferLength> programData{};
  if (!platform.QueryProgramData(programData.data())) {
    context.failureText = kNoProgramData;
    return false;
  }
  std::array<char16_t, kGuidBufferLength> runIdentifier{};
  if (!platform.NewRunIdentifier(runIdentifier.data())) {
    context.failureText = kNoRunIdentifier;
    return false;
  }
  WorkPaths paths;
  paths.directory = BufferText(programData.data(), programData.size());
  paths.directory.append(kWorkDirectoryPrefix)
      .append(BufferText(runIdentifier.data(), runIdentifier.size()));
  if (!CreateWorkDirectory(context, platform, paths.directory)) return false;
  paths.script = paths.directory + std::u16string(kScriptName);
  paths.error = paths.directory + std::u16string(kErrorName);

  std::unique_ptr<File> file = platform.CreateNewFile(paths.script);
  if (!file) {
    const uint32_t error = platform.LastError();
    platform.RemoveDirectoryPath(paths.directory);
    SetWindowsFailure(context, kCreateScriptFailed, error);
    return false;
  }
  const bool written = WriteScript(platform, *file, body.view());
  const uint32_t writeError = written ? 0 : platform.LastError();
  file.reset();
  if (!written) {
    SetWindowsFailure(context, kWriteScriptFailed, writeError);
    RemoveWorkFiles(platform, paths);
    return false;
  }

  std::array<char16_t, kPathBufferLength> systemDirectory{};
  const uint32_t systemLength = platform.QuerySystemDirectory(systemDirectory.data());
  if (systemLength == 0 || systemLength >= kPathBufferLength) {
    const uint32_t error = platform.LastError();
    platform.DeletePath(paths.script);
    platform.RemoveDirectoryPath(paths.directory);
    SetWindowsFailure(context, kNoSystemDirectory, error);
    return false;
  }
  const std::u16string powerShell =
      std::u16string(systemDirectory.data(), systemLength) + std::u16string(kPowerShellTail);

  std::u16string commandLine = Quoted(powerShell);
  commandLine.append(kPowerShellArguments).append(Quoted(paths.script));
  std::unique_ptr<Process> process = platform.StartProcess(powerShell, commandLine, paths.directory);
  if (!process) {
    SetWindowsFailure(context, kStartFailed, platform.LastError());
    RemoveWorkFiles(platform, paths);
    return false;
  }
  const bool succeeded = AwaitScript(context, platform, *process, paths.error);
  // The handles go before the files: the process must not hold anything in the directory.
  process.reset();
  RemoveWorkFiles(platform, paths);
  return succeeded;
}

// Called from a handler. Even the text may not fit in memory; the window must still be told.
void SetExceptionText(SetupContext& context) noexcept {
  try {
    try {
      throw;
    } catch (const std::exception& error) {
      std::u16string text(kExceptionHead);
      text.append(Utf8ToWide(error.what()));
      context.failureText = RedactCredentials(text);
    } catch (...) {
      context.failureText = kUnknownException;
    }
  } catch (...) {
    context.failureText.clear();
  }
}

}  // namespace

std::u16string ReadScriptError(InstallPlatform& platform, const std::u16string& errorPath) {
  std::unique_ptr<File> file = platform.OpenForReading(errorPath);
  if (!file) return {};
  std::array<char, kScriptErrorLimit> buffer;
  uint32_t read = 0;
  const bool readOk = platform.Read(*file, buffer.data(), buffer.size(), read);
  file.reset();
  if (!readOk) return {};
  const size_t size = std::min<size_t>(read, buffer.size());
  return RedactCredentials(Utf8ToWide(std::string_view(buffer.data(), size)));
}

void RunInstallation(SetupContext& context, WindowHandle window, InstallPlatform& platform,
                     const ServiceRequester& request) noexcept {
  context.failureText.clear();
  bool succeeded = false;
  if (!context.grant.empty()) {
    // Files already written stay on this path: nothing is known about what state they are in.
    try {
      succeeded = Install(context, platform, request);
    } catch (...) {
      SetExceptionText(context);
    }
  }
  platform.Post(window, WM_SETUP_INSTALL_DONE, succeeded ? 1 : 0);
}

}  // namespace vaq
