// SetWindowsFailure on the host, with a system message table of the test's own.
#include <gtest/gtest.h>

#include "base/failure_text.h"
#include "base/setup_context.h"

namespace vaq {

std::optional<std::u16string> SystemMessageText(uint32_t code) {
  if (code == 31) return u"A device attached to the system is not functioning.\r\n";
  if (code == 5) return u"Access is denied.\r\n";
  return std::nullopt;
}

namespace {

TEST(SetWindowsFailure, ZeroIsReportedAs31WithItsSystemText) {
  SetupContext context;
  context.failureText = u"old";
  SetWindowsFailure(context, u"基础", 0);
  EXPECT_EQ(context.failureText, u"基础（Windows 错误 31）：A device attached to the system is not functioning.\n");
}

TEST(SetWindowsFailure, SystemTextThenEmptyLineThenHint) {
  SetupContext context;
  SetWindowsFailure(context, u"基础", 5);
  EXPECT_EQ(context.failureText,
            u"基础（Windows 错误 5）：Access is denied.\n\n请检查管理员权限、文件权限及安全软件的拦截记录。");
}

TEST(SetWindowsFailure, NoSystemTextMeansNoColon) {
  SetupContext context;
  SetWindowsFailure(context, u"基础", 1234);
  EXPECT_EQ(context.failureText, u"基础（Windows 错误 1234）");
}

}  // namespace
}  // namespace vaq
