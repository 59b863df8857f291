// SetWindowsFailure with the real system message table.
#include <windows.h>

#include <gtest/gtest.h>

#include "base/failure_text.h"
#include "base/service_contract.h"
#include "base/setup_context.h"

namespace vaq {
namespace {

// Base text, "（Windows 错误 N）", and then either "：" + the system's text or nothing.
void ExpectStructure(const std::u16string& text, uint32_t code, std::u16string_view hint) {
  const std::u16string head = u"基础（Windows 错误 ";
  ASSERT_EQ(text.rfind(head, 0), 0u) << "starts with the base text";
  const std::optional<std::u16string> system = SystemMessageText(code);
  std::u16string expected = WindowsFailureText(u"基础", code, system);
  EXPECT_EQ(text, expected);
  if (system) {
    EXPECT_NE(text.find(u"）："), std::u16string::npos) << "colon before the system text";
  } else {
    EXPECT_EQ(text.find(u"："), std::u16string::npos) << "no colon without a system text";
  }
  if (!hint.empty()) {
    ASSERT_GE(text.size(), hint.size());
    EXPECT_EQ(text.substr(text.size() - hint.size()), hint);
  }
}

TEST(SystemMessage, ZeroBecomes31WithTheTextFor31) {
  SetupContext context;
  SetWindowsFailure(context, u"基础", 0);
  const std::optional<std::u16string> system31 = SystemMessageText(31);
  ASSERT_TRUE(system31.has_value()) << "Wine has a text for ERROR_GEN_FAILURE";
  EXPECT_EQ(context.failureText.rfind(u"基础（Windows 错误 31）：", 0), 0u);
  ExpectStructure(context.failureText, 31, {});
}

TEST(SystemMessage, AccessDeniedHasItsTextAndThePermissionsHint) {
  SetupContext context;
  SetWindowsFailure(context, u"基础", 5);
  ASSERT_TRUE(SystemMessageText(5).has_value());
  ExpectStructure(context.failureText, 5, u"\n请检查管理员权限、文件权限及安全软件的拦截记录。");
}

TEST(SystemMessage, WinHttpCodesCarryTheirHints) {
  const std::u16string network = u"\n请检查网络、代理和安装服务的 HTTPS 连接。";
  const std::u16string dns = u"\n请检查 DNS 是否能解析 " + std::u16string(service::kHost) + u"。";
  const std::u16string certificate = u"\nHTTPS 证书验证失败，请检查系统时间、证书信任和 TLS 1.2 支持。";
  const struct { uint32_t code; std::u16string hint; } cases[] = {
      {12002, network}, {12007, dns}, {12029, network}, {12175, certificate}};
  for (const auto& c : cases) {
    SetupContext context;
    SetWindowsFailure(context, u"基础", c.code);
    ExpectStructure(context.failureText, c.code, c.hint);
  }
}

TEST(SystemMessage, CodeWithoutSystemTextHasNoColon) {
  constexpr uint32_t kUnknown = 0x2000FFFF;
  ASSERT_FALSE(SystemMessageText(kUnknown).has_value());
  SetupContext context;
  SetWindowsFailure(context, u"基础", kUnknown);
  EXPECT_EQ(context.failureText, u"基础（Windows 错误 536936447）");
}

}  // namespace
}  // namespace vaq
