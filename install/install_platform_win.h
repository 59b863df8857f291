#pragma once
// The installation worker's system operations on Windows.
#include "install/installation_worker.h"

namespace vaq {

class WindowsInstallPlatform final : public InstallPlatform {
 public:
  uint32_t LastError() override;
  bool QueryProgramData(char16_t* buffer) override;
  bool NewRunIdentifier(char16_t* buffer) override;
  std::unique_ptr<SecurityDescriptor> DescriptorFromSddl(std::u16string_view sddl) override;
  bool MakeDirectory(const std::u16string& path, const SecurityDescriptor& descriptor) override;
  std::unique_ptr<File> CreateNewFile(const std::u16string& path) override;
  std::unique_ptr<File> OpenForReading(const std::u16string& path) override;
  bool Write(File& file, const void* data, uint32_t size, uint32_t& written) override;
  bool Read(File& file, void* buffer, uint32_t size, uint32_t& read) override;
  uint32_t QuerySystemDirectory(char16_t* buffer) override;
  std::unique_ptr<Process> StartProcess(const std::u16string& application,
                                        std::u16string& commandLine,
                                        const std::u16string& workingDirectory) override;
  bool WaitForExit(Process& process) override;
  bool ExitCode(Process& process, uint32_t& code) override;
  void DeletePath(const std::u16string& path) override;
  void RemoveDirectoryPath(const std::u16string& path) override;
  void Post(WindowHandle window, uint32_t message, uintptr_t wParam) override;
};

}  // namespace vaq
