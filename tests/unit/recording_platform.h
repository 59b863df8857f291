#pragma once
// A substitute InstallPlatform that records every call and can make any one of them fail or throw.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "install/installation_worker.h"

namespace vaq::test {

const std::u16string kGrant = u"0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";
constexpr char16_t kProgramData[] = u"C:\\ProgramData";
constexpr char16_t kRunIdentifier[] = u"{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}";
constexpr char16_t kSystemDirectory[] = u"C:\\Windows\\system32";
const std::u16string kWork = u"C:\\ProgramData\\VAQ-Setup-{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}";
// A code without a system text on either build, so the expected texts are exact.
constexpr uint32_t kFailCode = 0x2000FFFF;
// What clean-up calls leave as the last error: a text showing it took the code too late.
constexpr uint32_t kCleanUpCode = 0x2000FFFE;
// Logs every call with the work paths shortened to W (directory), S (script) and E (error file).
class RecordingPlatform : public InstallPlatform {
 public:
  std::vector<std::string> log;
  std::set<std::string> failing;  // operations that fail
  std::string throwing;           // operation that throws a standard exception
  bool throwUnknown = false;
  uint32_t shortWrite = 0;  // a write of this size reports one byte less
  uint32_t systemLength = sizeof(kSystemDirectory) / sizeof(char16_t) - 1;
  uint32_t exitCode = 0;
  std::string errorFile;  // content read back from E
  bool errorFileExists = false;
  std::map<std::string, std::string> files;
  std::u16string sddl, application, commandLine, workingDirectory;
  uint32_t readSize = 0;

  uint32_t LastError() override {
    log.push_back("last error");
    return lastError_;
  }
  bool QueryProgramData(char16_t* buffer) override {
    if (!Call("program data")) return false;
    std::memcpy(buffer, kProgramData, sizeof(kProgramData));
    return true;
  }
  bool NewRunIdentifier(char16_t* buffer) override {
    if (!Call("run identifier")) return false;
    std::memcpy(buffer, kRunIdentifier, sizeof(kRunIdentifier));
    return true;
  }
  std::unique_ptr<SecurityDescriptor> DescriptorFromSddl(std::u16string_view text) override {
    if (!Call("sddl")) return nullptr;
    sddl = text;
    return std::make_unique<Descriptor>(log);
  }
  bool MakeDirectory(const std::u16string& path, const SecurityDescriptor&) override {
    return Call("make directory " + Short(path));
  }
  std::unique_ptr<File> CreateNewFile(const std::u16string& path) override {
    if (!Call("create " + Short(path))) return nullptr;
    return std::make_unique<RecordedFile>(log, Short(path));
  }
  std::unique_ptr<File> OpenForReading(const std::u16string& path) override {
    if (!Call("open " + Short(path)) || !errorFileExists) return nullptr;
    return std::make_unique<RecordedFile>(log, Short(path));
  }
  bool Write(File& file, const void* data, uint32_t size, uint32_t& written) override {
    if (!Call("write " + std::to_string(size))) return false;
    written = size == shortWrite ? size - 1 : size;
    files[static_cast<RecordedFile&>(file).name].append(static_cast<const char*>(data), written);
    return true;
  }
  bool Read(File&, void* buffer, uint32_t size, uint32_t& read) override {
    readSize = size;
    if (!Call("read")) return false;
    read = static_cast<uint32_t>(std::min<size_t>(size, errorFile.size()));
    std::memcpy(buffer, errorFile.data(), read);
    return true;
  }
  uint32_t QuerySystemDirectory(char16_t* buffer) override {
    Call("system directory");
    std::memcpy(buffer, kSystemDirectory, sizeof(kSystemDirectory));
    if (systemLength == 0 || systemLength >= kPathBufferLength) lastError_ = kFailCode;
    return systemLength;
  }
  std::unique_ptr<Process> StartProcess(const std::u16string& app, std::u16string& line,
                                        const std::u16string& directory) override {
    if (!Call("start")) return nullptr;
    application = app, commandLine = line, workingDirectory = directory;
    return std::make_unique<RecordedProcess>(log);
  }
  bool WaitForExit(Process&) override { return Call("wait"); }
  bool ExitCode(Process&, uint32_t& code) override {
    if (!Call("exit code")) return false;
    code = exitCode;
    return true;
  }
  void DeletePath(const std::u16string& path) override {
    log.push_back("delete " + Short(path));
    lastError_ = kCleanUpCode;
  }
  void RemoveDirectoryPath(const std::u16string& path) override {
    log.push_back("remove " + Short(path));
    lastError_ = kCleanUpCode;
  }
  void Post(WindowHandle window, uint32_t message, uintptr_t wParam) override {
    EXPECT_EQ(window, this);
    EXPECT_EQ(message, WM_SETUP_INSTALL_DONE);
    log.push_back("post " + std::to_string(wParam));
  }

 private:
  struct Descriptor : SecurityDescriptor {
    explicit Descriptor(std::vector<std::string>& l) : log(l) {}
    ~Descriptor() override { log.push_back("free descriptor"); }
    std::vector<std::string>& log;
  };
  struct RecordedFile : File {
    RecordedFile(std::vector<std::string>& l, std::string n) : log(l), name(std::move(n)) {}
    ~RecordedFile() override { log.push_back("close " + name); }
    std::vector<std::string>& log;
    std::string name;
  };
  struct RecordedProcess : Process {
    explicit RecordedProcess(std::vector<std::string>& l) : log(l) {}
    ~RecordedProcess() override {
      log.push_back("close thread");
      log.push_back("close process");
    }
    std::vector<std::string>& log;
  };

  bool Call(const std::string& name) {
    log.push_back(name);
    if (name == throwing) {
      if (throwUnknown) throw 42;
      throw std::runtime_error("bad state " + std::string(64, 'f'));
    }
    if (failing.count(name) == 0) return true;
    lastError_ = kFailCode;
    return false;
  }
  std::string Short(const std::u16string& path) {
    if (path == kWork) return "W";
    if (path == kWork + u"\\install.ps1") return "S";
    if (path == kWork + u"\\error.txt") return "E";
    ADD_FAILURE() << "unexpected path";
    return "?";
  }

  uint32_t lastError_ = 0;
};

}  // namespace vaq::test
