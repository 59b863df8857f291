#pragma once
// One installation run: download the bootstrap script, write it into a protected work directory
// under ProgramData, run it with PowerShell, collect the outcome, remove what was written and
// post WM_SETUP_INSTALL_DONE. The steps live here; the system calls behind them sit behind
// InstallPlatform, so every failure path can be driven by making one operation fail.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "base/service_contract.h"
#include "base/setup_context.h"

namespace vaq {

// Buffer sizes the system queries are made with (wide characters).
constexpr uint32_t kPathBufferLength = 260;
constexpr uint32_t kGuidBufferLength = 40;
// Only this much of the script's error file is read.
constexpr size_t kScriptErrorLimit = 8192;

// The system operations of one run. Every operation that can fail says so in its result; the
// caller reads LastError() directly after a failed operation, before anything else is called.
// Objects handed out release their system resource when destroyed.
class InstallPlatform {
 public:
  class SecurityDescriptor {
   public:
    virtual ~SecurityDescriptor() = default;
  };
  class File {
   public:
    virtual ~File() = default;
  };
  // Destruction closes the thread handle, then the process handle.
  class Process {
   public:
    virtual ~Process() = default;
  };

  virtual ~InstallPlatform() = default;

  // The thread's last error code, as left by the most recent failed operation.
  virtual uint32_t LastError() = 0;

  // The common application-data folder into a buffer of kPathBufferLength.
  virtual bool QueryProgramData(char16_t* buffer) = 0;
  // A new GUID in braced registry form into a buffer of kGuidBufferLength.
  virtual bool NewRunIdentifier(char16_t* buffer) = 0;
  // Null on failure.
  virtual std::unique_ptr<SecurityDescriptor> DescriptorFromSddl(std::u16string_view sddl) = 0;
  // Fails when the directory exists.
  virtual bool MakeDirectory(const std::u16string& path, const SecurityDescriptor& descriptor) = 0;
  // Exclusive, write-only, must not exist yet. Null on failure.
  virtual std::unique_ptr<File> CreateNewFile(const std::u16string& path) = 0;
  // Shared for reading, must exist. Null on failure.
  virtual std::unique_ptr<File> OpenForReading(const std::u16string& path) = 0;
  virtual bool Write(File& file, const void* data, uint32_t size, uint32_t& written) = 0;
  virtual bool Read(File& file, void* buffer, uint32_t size, uint32_t& read) = 0;
  // The system directory into a buffer of kPathBufferLength; returns the system's length
  // result (0 on failure, kPathBufferLength or more when the buffer is too small).
  virtual uint32_t QuerySystemDirectory(char16_t* buffer) = 0;
  // Hidden, without a console window, in workingDirectory; commandLine may be modified.
  virtual std::unique_ptr<Process> StartProcess(const std::u16string& application,
                                                std::u16string& commandLine,
                                                const std::u16string& workingDirectory) = 0;
  // True only when the process has ended.
  virtual bool WaitForExit(Process& process) = 0;
  virtual bool ExitCode(Process& process, uint32_t& code) = 0;
  // Results are of no interest to the run.
  virtual void DeletePath(const std::u16string& path) = 0;
  virtual void RemoveDirectoryPath(const std::u16string& path) = 0;
  virtual void Post(WindowHandle window, uint32_t message, uintptr_t wParam) = 0;
};

// The whole run, steps 0 to 18; ends by posting WM_SETUP_INSTALL_DONE to window.
void RunInstallation(SetupContext& context, WindowHandle window, InstallPlatform& platform,
                     const ServiceRequester& request) noexcept;

// The script's explanation in errorPath: at most kScriptErrorLimit bytes, strict UTF-8,
// redacted; empty when the file is missing, unreadable or not valid UTF-8.
std::u16string ReadScriptError(InstallPlatform& platform, const std::u16string& errorPath);

}  // namespace vaq
