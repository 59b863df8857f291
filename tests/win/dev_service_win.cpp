#include "tests/win/dev_service_win.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <sstream>

#include "tests/win/machine_gate_test_win.h"
#include "tools/common/file_bytes_win.h"
#include "tools/dev_service/machine_store_win.h"

namespace vaq::dev_service {
namespace {

// A setting that names a file or folder, read wide: the ANSI code page cannot spell every user's
// profile path. It holds a Unix path under Wine, which shows the Unix file system as drive Z:,
// and a Windows path on Windows (the kit's runner).
std::wstring PathSetting(const char* name) {
  const std::wstring wideName(name, name + std::strlen(name));
  std::wstring path(GetEnvironmentVariableW(wideName.c_str(), nullptr, 0), L'\0');
  path.resize(GetEnvironmentVariableW(wideName.c_str(), &path[0], static_cast<DWORD>(path.size())));
  if (path.empty() || path[0] != L'/') return path;
  std::wstring windows = L"Z:" + path;
  for (wchar_t& c : windows) {
    if (c == L'/') c = L'\\';
  }
  return windows;
}

std::wstring ControlFile(const wchar_t* name) {
  const std::wstring folder = PathSetting("VAQ_DEV_SERVICE_CONTROL");
  if (folder.empty()) {
    ADD_FAILURE() << "run the Wine tests under scripts/with-dev-service.sh";
    return {};
  }
  return folder + L"\\" + name;
}

}  // namespace

std::string Setting(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::string ReadFileNamedBy(const char* setting) { return tools::ReadBinaryFile(PathSetting(setting)); }

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
  const std::wstring target = ControlFile(L"reply.json");
  const std::wstring staging = target + L".new";
  ASSERT_TRUE(tools::WriteBinaryFile(staging, reply.dump())) << GetLastError();
  // A rename, so the service never reads half a file.
  ASSERT_TRUE(MoveFileExW(staging.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) << GetLastError();
}

void ClearReply() { DeleteFileW(ControlFile(L"reply.json").c_str()); }

namespace {

// The service answers a change of its control folder within a tenth of a second; a bound keeps
// a broken service from hanging the run.
bool WaitForFile(const std::wstring& path, bool present) {
  for (int attempt = 0; attempt < 300; ++attempt) {
    if ((GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) == present) return true;
    Sleep(50);
  }
  return false;
}

}  // namespace

ClosedPort::ClosedPort() {
  EXPECT_TRUE(tools::WriteBinaryFile(ControlFile(L"close"), "\n")) << GetLastError();
  EXPECT_TRUE(WaitForFile(ControlFile(L"port-closed"), true)) << "the service closed its port";
}

ClosedPort::~ClosedPort() {
  DeleteFileW(ControlFile(L"close").c_str());
  EXPECT_TRUE(WaitForFile(ControlFile(L"port-closed"), false)) << "the service reopened its port";
}

void HeldReplies::Hold() { EXPECT_TRUE(tools::WriteBinaryFile(ControlFile(L"hold"), "\n")) << GetLastError(); }

void HeldReplies::Release() { DeleteFileW(ControlFile(L"hold").c_str()); }

void ClearReceived() { DeleteFileW(ControlFile(L"received.jsonl").c_str()); }

std::vector<nlohmann::json> Received() {
  std::vector<nlohmann::json> requests;
  std::istringstream lines(tools::ReadBinaryFile(ControlFile(L"received.jsonl")));
  for (std::string line; std::getline(lines, line);) requests.push_back(nlohmann::json::parse(line));
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
