// relaunch_probe.exe <installer.exe> <out.json>: starts the installer as a standard user made for
// the purpose and follows every process it starts, through a job object, until all have ended.
// For a disposable Windows with UAC off, where the installer cannot elevate: the report says how
// many copies it started and how each ended. The user, its profile and the copy are removed.
// Exit code 0 when the report was written.
#include <windows.h>
#include <bcrypt.h>
#include <lm.h>
#include <sddl.h>
#include <userenv.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/handles_win.h"

namespace {

constexpr wchar_t kUser[] = L"vaqkitstandard";

// Random, with every character class, and long enough for any password policy.
std::wstring RandomPassword() {
  unsigned char random[24] = {};
  BCryptGenRandom(nullptr, random, sizeof(random), BCRYPT_USE_SYSTEM_PREFERRED_RNG);
  static const wchar_t letters[] = L"abcdefghijkmnopqrstuvwxyzABCDEFGHJKLMNPQRSTUVWXYZ23456789";
  std::wstring password = L"Vq9!";
  for (const unsigned char r : random) password += letters[r % (sizeof(letters) / sizeof(wchar_t) - 1)];
  return password;
}

// The user and its profile, as a run left them that was stopped before its clean-up.
void RemoveUser() {
  BYTE sid[SECURITY_MAX_SID_SIZE];
  DWORD sidSize = sizeof(sid), domainSize = 256;
  wchar_t domain[256];
  SID_NAME_USE use;
  wchar_t* sidText = nullptr;
  if (LookupAccountNameW(nullptr, kUser, sid, &sidSize, domain, &domainSize, &use) &&
      ConvertSidToStringSidW(sid, &sidText)) {
    DeleteProfileW(sidText, nullptr, nullptr);
    LocalFree(sidText);
  }
  NetUserDel(nullptr, kUser);
}

// The user exists while the object lives; its profile goes with it. One left by a killed run
// goes first, or every later run would fail to make it.
class StandardUser {
 public:
  explicit StandardUser(const std::wstring& password) {
    RemoveUser();
    USER_INFO_1 info = {};
    info.usri1_name = const_cast<wchar_t*>(kUser);
    info.usri1_password = const_cast<wchar_t*>(password.c_str());
    info.usri1_priv = USER_PRIV_USER;
    info.usri1_flags = UF_SCRIPT | UF_DONT_EXPIRE_PASSWD;
    status_ = NetUserAdd(nullptr, 1, reinterpret_cast<BYTE*>(&info), nullptr);
  }
  ~StandardUser() {
    if (status_ == NERR_Success) RemoveUser();
  }
  StandardUser(const StandardUser&) = delete;
  StandardUser& operator=(const StandardUser&) = delete;
  NET_API_STATUS Status() const { return status_; }

 private:
  NET_API_STATUS status_;
};

// A folder every user can read, holding the installer's copy, removed at the end. Its name is
// fixed, so that the next run removes what a killed one left.
class SharedCopy {
 public:
  explicit SharedCopy(const wchar_t* installer) {
    wchar_t drive[MAX_PATH] = {};
    GetEnvironmentVariableW(L"SystemDrive", drive, MAX_PATH);
    folder_ = std::wstring(drive) + L"\\VaqKitRelaunch";
    path_ = folder_ + L"\\VAQ-Setup.exe";
    Remove();
    made_ = CreateDirectoryW(folder_.c_str(), nullptr) && CopyFileW(installer, path_.c_str(), TRUE);
  }
  ~SharedCopy() { Remove(); }
  SharedCopy(const SharedCopy&) = delete;
  SharedCopy& operator=(const SharedCopy&) = delete;
  bool Made() const { return made_; }
  const std::wstring& Folder() const { return folder_; }
  const std::wstring& Path() const { return path_; }

 private:
  void Remove() const {
    DeleteFileW(path_.c_str());
    RemoveDirectoryW(folder_.c_str());
  }

  std::wstring folder_, path_;
  bool made_ = false;
};

nlohmann::json Failure(const char* step) { return {{"error", std::string(step) + " failed: " + std::to_string(GetLastError())}}; }

nlohmann::json Follow(const SharedCopy& copy, const std::wstring& password) {
  const vaq::UniqueHandleKernel job(CreateJobObjectW(nullptr, nullptr));
  const vaq::UniqueHandleKernel port(CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1));
  if (!job || !port) return Failure("CreateJobObject");
  JOBOBJECT_ASSOCIATE_COMPLETION_PORT association = {job.Get(), port.Get()};
  if (!SetInformationJobObject(job.Get(), JobObjectAssociateCompletionPortInformation, &association,
                               sizeof(association))) {
    return Failure("SetInformationJobObject");
  }
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION started = {};
  std::wstring commandLine = L"\"" + copy.Path() + L"\"";
  if (!CreateProcessWithLogonW(kUser, L".", password.c_str(), LOGON_WITH_PROFILE, copy.Path().c_str(),
                               &commandLine[0], CREATE_SUSPENDED, nullptr, copy.Folder().c_str(), &startup,
                               &started)) {
    return Failure("CreateProcessWithLogonW");
  }
  const vaq::UniqueHandleKernel first(started.hProcess);
  const vaq::UniqueHandleKernel thread(started.hThread);
  if (!AssignProcessToJobObject(job.Get(), first.Get())) {
    TerminateProcess(first.Get(), 1);
    return Failure("AssignProcessToJobObject");
  }
  ResumeThread(thread.Get());

  // A relaunch is held open as soon as it is reported, so that its exit code can be read.
  std::vector<vaq::UniqueHandleKernel> relaunches;
  bool ended = false;
  for (;;) {
    DWORD message = 0;
    ULONG_PTR key = 0;
    OVERLAPPED* detail = nullptr;
    if (!GetQueuedCompletionStatus(port.Get(), &message, &key, &detail, 60000)) break;
    const auto pid = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(detail));
    if (message == JOB_OBJECT_MSG_NEW_PROCESS && pid != started.dwProcessId) {
      relaunches.emplace_back(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    }
    if (message == JOB_OBJECT_MSG_ACTIVE_PROCESS_ZERO) {
      ended = true;
      break;
    }
  }
  if (!ended) TerminateJobObject(job.Get(), 1);
  DWORD firstExit = 0;
  GetExitCodeProcess(first.Get(), &firstExit);
  nlohmann::json exits = nlohmann::json::array();
  for (const vaq::UniqueHandleKernel& relaunch : relaunches) {
    DWORD code = 0;
    if (relaunch && GetExitCodeProcess(relaunch.Get(), &code)) {
      exits.push_back(code);
    } else {
      exits.push_back("unknown");
    }
  }
  return {{"ended", ended}, {"first_exit", firstExit}, {"relaunches", relaunches.size()}, {"relaunch_exits", exits}};
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fwprintf(stderr, L"usage: relaunch_probe.exe <installer.exe> <out.json>\n");
    return 2;
  }
  nlohmann::json report;
  {
    const std::wstring password = RandomPassword();
    const StandardUser user(password);
    const SharedCopy copy(argv[1]);
    if (user.Status() != NERR_Success) {
      report = {{"error", "NetUserAdd failed: " + std::to_string(user.Status())}};
    } else if (!copy.Made()) {
      report = Failure("copying the installer");
    } else {
      report = Follow(copy, password);
    }
  }
  std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
  out << report.dump(2) << '\n';
  return out.good() ? 0 : 1;
}
