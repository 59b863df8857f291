#include "tests/win/dev_service_win.h"

#include <windows.h>

#include <cstdlib>
#include <fstream>

#include "tests/win/machine_gate_test_win.h"
#include "tools/file_bytes_win.h"
#include "tools/machine_store_win.h"

namespace vaq::dev_service {
namespace {

// The settings hold Unix paths under Wine, which shows the Unix file system as drive Z:, and
// Windows paths on Windows (the kit's runner).
std::string WindowsPath(const std::string& path) {
  if (path.empty() || path[0] != '/') return path;
  std::string windows = "Z:" + path;
  for (char& c : windows) {
    if (c == '/') c = '\\';
  }
  return windows;
}

std::string ControlFile(const char* name) {
  const std::string folder = Setting("VAQ_DEV_SERVICE_CONTROL");
  if (folder.empty()) {
    ADD_FAILURE() << "run the Wine tests under scripts/with-dev-service.sh";
    return {};
  }
  return WindowsPath(folder + "/" + name);
}

}  // namespace

std::string Setting(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::string ReadFileNamedBy(const char* setting) {
  const std::string path = WindowsPath(Setting(setting));
  return tools::ReadBinaryFile(std::wstring(path.begin(), path.end()));
}

namespace {

// Trusts the service's CA unless it is trusted already; sets added to its thumbprint when it added it.
void Trust(std::string& added) {
  const std::string der = ReadFileNamedBy("VAQ_DEV_SERVICE_CA");
  ASSERT_FALSE(der.empty()) << "the service's CA file";
  const std::string thumbprint = machine_store::Sha1Thumbprint(der);
  if (machine_store::Find(L"ROOT", thumbprint) == der) return;
  ASSERT_TRUE(machine_store::Add(L"ROOT", der)) << GetLastError();
  added = thumbprint;
}

}  // namespace

TrustedAuthority::TrustedAuthority() { Trust(thumbprint_); }

TrustedAuthority::~TrustedAuthority() {
  if (!thumbprint_.empty()) {
    EXPECT_TRUE(machine_store::Remove(L"ROOT", thumbprint_)) << "the CA is trusted no more";
  }
}

void SetReply(const nlohmann::json& reply) {
  const std::string target = ControlFile("reply.json");
  const std::string staging = target + ".new";
  {
    std::ofstream file(staging, std::ios::binary | std::ios::trunc);
    file << reply.dump();
  }
  // A rename, so the service never reads half a file.
  ASSERT_TRUE(MoveFileExA(staging.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) << GetLastError();
}

void ClearReply() { DeleteFileA(ControlFile("reply.json").c_str()); }

namespace {

// The service answers a change of its control folder within a tenth of a second; a bound keeps
// a broken service from hanging the run.
bool WaitForFile(const std::string& path, bool present) {
  for (int attempt = 0; attempt < 300; ++attempt) {
    if ((GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) == present) return true;
    Sleep(50);
  }
  return false;
}

}  // namespace

ClosedPort::ClosedPort() {
  std::ofstream(ControlFile("close")).put('\n');
  EXPECT_TRUE(WaitForFile(ControlFile("port-closed"), true)) << "the service closed its port";
}

ClosedPort::~ClosedPort() {
  DeleteFileA(ControlFile("close").c_str());
  EXPECT_TRUE(WaitForFile(ControlFile("port-closed"), false)) << "the service reopened its port";
}

void ClearReceived() { DeleteFileA(ControlFile("received.jsonl").c_str()); }

std::vector<nlohmann::json> Received() {
  std::vector<nlohmann::json> requests;
  std::ifstream file(ControlFile("received.jsonl"), std::ios::binary);
  for (std::string line; std::getline(file, line);) requests.push_back(nlohmann::json::parse(line));
  return requests;
}

void ServiceTest::SetUp() {
  // Every request adds "ISRG Root X1" to the machine's trusted roots where it is missing.
  if (machine_store::Find(L"ROOT", machine_store::Sha1Thumbprint(machine_store::RootEncoding())).empty()) {
    VAQ_SKIP_UNLESS_MACHINE_MAY_CHANGE("the machine's ROOT certificate store, which lacks ISRG Root X1");
  }
  ClearReply();
  ClearReceived();
}

}  // namespace vaq::dev_service
