// The installation worker's steps against a recording platform that can fail any one operation.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/failure_text.h"
#include "base/setup_context.h"
#include "install/installation_worker.h"
#include "tests/unit/recording_platform.h"

namespace vaq {
namespace {

using test::kCleanUpCode;
using test::kFailCode;
using test::kGrant;
using test::kWork;
using test::RecordingPlatform;

const std::string kHeadLine =
    "\xEF\xBB\xBF$vaqSetupErrorPath=Join-Path (Split-Path -Parent $MyInvocation.MyCommand.Path) 'error.txt'\r\n";

std::u16string FailureWithCode(std::u16string_view base) {
  return std::u16string(base) + u"（Windows 错误 536936447）";
}

struct Run {
  std::u16string failureText;
  std::vector<std::string> log;
};

struct RequestSeen {
  int calls = 0;
  std::u16string verb, path, headers;
  std::string body;
  uint32_t limit = 0;
};

ServiceRequester Serving(std::string script, RequestSeen& seen) {
  return [script, &seen](SetupContext&, std::u16string_view verb, std::u16string_view path,
                         std::u16string_view headers, std::string_view body, SecretBytes& response,
                         uint32_t limit) {
    ++seen.calls;
    seen.verb = verb, seen.path = path, seen.headers = headers, seen.body = body, seen.limit = limit;
    response = script;
    return true;
  };
}

void RunWith(RecordingPlatform& platform, SetupContext& context, const std::string& script = "body") {
  RequestSeen seen;
  context.grant = kGrant;
  context.failureText = u"stale";
  RunInstallation(context, &platform, platform, Serving(script, seen));
}

// Everything from the first call of `first` on.
std::vector<std::string> From(const std::vector<std::string>& log, const std::string& first) {
  for (size_t i = 0; i < log.size(); ++i) {
    if (log[i] == first) return {log.begin() + static_cast<long>(i), log.end()};
  }
  ADD_FAILURE() << first << " was never called";
  return {};
}

TEST(InstallationWorker, SuccessfulRunInOrder) {
  RecordingPlatform platform;
  SetupContext context;
  RequestSeen seen;
  context.grant = kGrant;
  context.failureText = u"stale";
  platform.errorFileExists = true;  // left by the script, never read after exit code 0
  const std::string body = "\xEF\xBB\xBFWrite-Host 1\nexit 0\r\n";
  RunInstallation(context, &platform, platform, Serving(body, seen));

  EXPECT_EQ(context.failureText, u"");
  EXPECT_EQ(seen.calls, 1);
  EXPECT_EQ(seen.verb, u"GET");
  EXPECT_EQ(seen.path, u"/install/bootstrap.ps1");
  EXPECT_EQ(seen.headers, u"X-VAQ-Install-Grant: " + kGrant + u"\r\n");
  EXPECT_EQ(seen.body, "");
  EXPECT_EQ(seen.limit, 0x100000u);
  EXPECT_EQ(platform.sddl, u"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)");
  const std::vector<std::string> expected = {
      "program data", "run identifier", "sddl", "make directory W", "free descriptor", "create S",
      "write 3", "write " + std::to_string(kHeadLine.size() - 3 + body.size()), "close S",
      "system directory", "start", "wait", "exit code", "close thread", "close process",
      "delete E", "delete S", "remove W", "post 1"};
  EXPECT_EQ(platform.log, expected);
  EXPECT_EQ(platform.files["S"], kHeadLine + body);
  EXPECT_EQ(kHeadLine.size(), 95u);
  EXPECT_EQ(platform.application, u"C:\\Windows\\system32\\WindowsPowerShell\\v1.0\\powershell.exe");
  EXPECT_EQ(platform.commandLine,
            u"\"C:\\Windows\\system32\\WindowsPowerShell\\v1.0\\powershell.exe\" -NoProfile "
            u"-NonInteractive -ExecutionPolicy Bypass -File \"" + kWork + u"\\install.ps1\"");
  EXPECT_EQ(platform.workingDirectory, kWork);
}

TEST(InstallationWorker, EachFailingStepHasItsTextAndItsCleanUp) {
  const std::string content = "write " + std::to_string(kHeadLine.size() - 3 + 4);
  const struct Case {
    std::string failing;
    std::u16string text;
    std::vector<std::string> tail;
  } cases[] = {
      {"program data", u"无法定位系统安装目录 ProgramData。", {"program data", "post 0"}},
      {"run identifier", u"无法创建本次安装的临时标识。", {"run identifier", "post 0"}},
      {"sddl", FailureWithCode(u"设置安装目录保护权限失败"), {"sddl", "last error", "post 0"}},
      {"make directory W", FailureWithCode(u"创建受保护的安装目录失败"),
       {"make directory W", "last error", "free descriptor", "post 0"}},
      {"create S", FailureWithCode(u"创建安装脚本失败"),
       {"create S", "last error", "remove W", "post 0"}},
      {"write 3", FailureWithCode(u"写入安装脚本失败"),
       {"write 3", "last error", "close S", "delete E", "delete S", "remove W", "post 0"}},
      {content, FailureWithCode(u"写入安装脚本失败"),
       {content, "last error", "close S", "delete E", "delete S", "remove W", "post 0"}},
      {"start", FailureWithCode(u"无法启动 PowerShell 安装进程"),
       {"start", "last error", "delete E", "delete S", "remove W", "post 0"}},
      {"wait", FailureWithCode(u"等待安装进程结束失败"),
       {"wait", "last error", "close thread", "close process", "delete E", "delete S", "remove W",
        "post 0"}},
      {"exit code", FailureWithCode(u"读取安装进程结果失败"),
       {"exit code", "last error", "close thread", "close process", "delete E", "delete S",
        "remove W", "post 0"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.failing);
    RecordingPlatform platform;
    platform.failing.insert(c.failing);
    SetupContext context;
    RunWith(platform, context);
    EXPECT_EQ(context.failureText, c.text);
    EXPECT_EQ(From(platform.log, c.failing), c.tail);
  }
}

TEST(InstallationWorker, ShortWritesFailLikeFailedOnes) {
  for (const uint32_t size : {3u, static_cast<uint32_t>(kHeadLine.size() - 3 + 4)}) {
    RecordingPlatform platform;
    platform.shortWrite = size;
    SetupContext context;
    RunWith(platform, context);
    EXPECT_EQ(From(platform.log, "write " + std::to_string(size)).back(), "post 0");
    EXPECT_EQ(context.failureText.rfind(u"写入安装脚本失败（Windows 错误 ", 0), 0u);
    EXPECT_EQ(From(platform.log, "close S"),
              (std::vector<std::string>{"close S", "delete E", "delete S", "remove W", "post 0"}));
  }
}

TEST(InstallationWorker, SystemDirectoryCountsOnlyWhenItFits) {
  for (const uint32_t length : {0u, kPathBufferLength, kPathBufferLength + 40}) {
    RecordingPlatform platform;
    platform.systemLength = length;
    SetupContext context;
    RunWith(platform, context);
    EXPECT_EQ(context.failureText, FailureWithCode(u"无法定位 Windows 系统目录")) << length;
    EXPECT_EQ(From(platform.log, "system directory"),
              (std::vector<std::string>{"system directory", "last error", "delete S", "remove W",
                                        "post 0"}));
  }
}

TEST(InstallationWorker, NonZeroExitTakesTheScriptsTextOrTheFallback) {
  const std::u16string fallbackOne =
      u"PowerShell 安装进程未成功完成（退出码 1）。\n未收到脚本错误详情，请检查安全软件拦截记录和 PowerShell 运行环境。";
  const std::string grantBytes(kGrant.begin(), kGrant.end());
  const struct Case {
    const char* name;
    uint32_t exitCode;
    bool exists;
    std::string content;
    std::u16string text;
  } cases[] = {
      {"no file", 1, false, "", fallbackOne},
      {"empty file", 1, true, "", fallbackOne},
      {"largest code", 0xFFFFFFFF, false, "",
       u"PowerShell 安装进程未成功完成（退出码 4294967295）。\n未收到脚本错误详情，请检查安全软件拦截记录和 PowerShell 运行环境。"},
      {"utf-16", 1, true, std::string("\xFF\xFE" "a\0", 4), fallbackOne},
      {"cut inside a character", 1, true, std::string(8191, 'x') + "\xE5\xAE\x89", fallbackOne},
      {"text with grant", 7, true, "\xEF\xBB\xBF" "失败\r\ngrant=" + grantBytes + "\r\n",
       u"\uFEFF失败\ngrant=[已隐藏凭证]\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingPlatform platform;
    platform.exitCode = c.exitCode;
    platform.errorFileExists = c.exists;
    platform.errorFile = c.content;
    SetupContext context;
    RunWith(platform, context);
    EXPECT_EQ(context.failureText, c.text);
    if (c.exists) {
      EXPECT_EQ(platform.readSize, 8192u);
    }
    // The error file is read while the process handles are still open.
    const std::vector<std::string> tail = From(platform.log, "exit code");
    EXPECT_EQ(tail[1], "open E");
    EXPECT_EQ(tail.back(), "post 0");
  }
}

TEST(InstallationWorker, ReadFailureGivesTheFallback) {
  RecordingPlatform platform;
  platform.exitCode = 2;
  platform.errorFileExists = true;
  platform.errorFile = "never seen";
  platform.failing.insert("read");
  SetupContext context;
  RunWith(platform, context);
  EXPECT_EQ(context.failureText.rfind(u"PowerShell 安装进程未成功完成（退出码 2）。\n", 0), 0u);
  EXPECT_EQ(From(platform.log, "read"),
            (std::vector<std::string>{"read", "close E", "close thread", "close process", "delete E",
                                      "delete S", "remove W", "post 0"}));
}

TEST(InstallationWorker, EmptyGrantPostsFailureWithEmptyText) {
  RecordingPlatform platform;
  SetupContext context;
  context.failureText = u"stale";
  RequestSeen seen;
  RunInstallation(context, &platform, platform, Serving("body", seen));
  EXPECT_EQ(context.failureText, u"");
  EXPECT_EQ(seen.calls, 0);
  EXPECT_EQ(platform.log, std::vector<std::string>{"post 0"});
}

TEST(InstallationWorker, FailedDownloadKeepsItsTextAndTouchesNothing) {
  RecordingPlatform platform;
  SetupContext context;
  context.grant = kGrant;
  const ServiceRequester failing = [](SetupContext& c, auto, auto, auto, std::string_view,
                                      SecretBytes&, uint32_t) {
    c.failureText = u"下载失败";
    return false;
  };
  RunInstallation(context, &platform, platform, failing);
  EXPECT_EQ(context.failureText, u"下载失败");
  EXPECT_EQ(platform.log, std::vector<std::string>{"post 0"});
}

TEST(InstallationWorker, ExceptionsGiveTheirTextsAndNoCleanUp) {
  const struct Case {
    std::string throwing;
    bool unknown;
    std::u16string text;
  } cases[] = {
      {"wait", false, u"安装遇到异常：bad state [已隐藏凭证]"},
      {"write 3", true, u"安装遇到未知异常，请联系管理员检查安装环境。"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.throwing);
    RecordingPlatform platform;
    platform.throwing = c.throwing;
    platform.throwUnknown = c.unknown;
    SetupContext context;
    RunWith(platform, context);
    EXPECT_EQ(context.failureText, c.text);
    for (const std::string& entry : platform.log) {
      EXPECT_NE(entry.rfind("delete", 0), 0u) << entry;
      EXPECT_NE(entry.rfind("remove", 0), 0u) << entry;
    }
    EXPECT_EQ(platform.log.back(), "post 0");
  }
}

TEST(InstallationWorker, ExceptionFromTheDownloadIsCaught) {
  RecordingPlatform platform;
  SetupContext context;
  context.grant = kGrant;
  const ServiceRequester throwing = [](SetupContext&, auto, auto, auto, std::string_view,
                                       SecretBytes&, uint32_t) -> bool {
    throw std::runtime_error("\xE8\xBF\x9E\xE6\x8E\xA5 lost");
  };
  RunInstallation(context, &platform, platform, throwing);
  EXPECT_EQ(context.failureText, u"安装遇到异常：连接 lost");
  EXPECT_EQ(platform.log, std::vector<std::string>{"post 0"});
}

}  // namespace
}  // namespace vaq
