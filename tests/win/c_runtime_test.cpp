// The exe's strtod and vsnprintf, taken from the system's C runtime (app/c_runtime_win.cpp) and
// linked into this program as into the exe: the JSON exchange reads every kind of number and
// refuses a control character as before, and vsnprintf keeps C99's contract.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "service/authorization.h"

namespace vaq {
namespace {

const std::string kGrant = "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";
const std::u16string kUnreadable = u"无法读取安装授权，请联系管理员。";

AuthorizeRequest Exchange(const std::string& reply) {
  SetupContext context;
  AuthorizeRequest request;
  request.body = "{\"code\":\"4711\"}";
  ExchangeCodeForGrant(context, request,
                       [&reply](SetupContext&, std::u16string_view, std::u16string_view, std::u16string_view,
                                std::string_view, SecretBytes& response, uint32_t) {
                         response = reply;
                         return true;
                       });
  return request;
}

TEST(SystemCRuntime, ExchangeReadsNumbersAndRefusesControlCharacters) {
  const std::string grantMember = "\"grant\":\"" + kGrant + "\"";
  const struct {
    std::string reply;
    bool accepted;
  } cases[] = {
      {"{\"n\":-0.5e-3," + grantMember + "}", true},
      {"{\"n\":[0,1.5,2E+2,-0.0]," + grantMember + "}", true},
      {"{\"tiny\":4.9e-330," + grantMember + "}", true},
      // Too big for a double: the parser refuses what strtod reads as infinite.
      {"{\"huge\":1e400," + grantMember + "}", false},
      // Beyond 64 bits: read as a floating-point number.
      {"{\"n\":123456789012345678901234567890,\"m\":-9223372036854775809," + grantMember + "}", true},
      {"{\"grant\":1.5}", false},
      {"{\"n\":1.}", false},
      // A raw control character: the parse error names it as <U+001F>.
      {"{\"grant\":\"" + kGrant + "\x1f\"}", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reply);
    const AuthorizeRequest request = Exchange(c.reply);
    EXPECT_EQ(request.grant, c.accepted ? std::u16string(kGrant.begin(), kGrant.end()) : u"");
    EXPECT_EQ(request.failureText, c.accepted ? u"" : kUnreadable);
  }
}

TEST(SystemCRuntime, StrtodReadsJsonNumbers) {
  const struct {
    const char* text;
    double value;
  } cases[] = {
      {"0", 0.0}, {"-0.5e-3", -0.0005}, {"2E+2", 200.0}, {"1e400", HUGE_VAL}, {"2.2250738585072014e-308", 2.2250738585072014e-308},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    char* end = nullptr;
    EXPECT_EQ(std::strtod(c.text, &end), c.value);
    EXPECT_EQ(*end, '\0');
  }
}

TEST(SystemCRuntime, VsnprintfTerminatesACutTextAndCountsTheWhole) {
  const struct {
    size_t size;
    std::string text;
  } cases[] = {{16, "<U+001F>"}, {9, "<U+001F>"}, {8, "<U+001F"}, {4, "<U+"}, {1, ""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.size);
    char buffer[16];
    std::fill(std::begin(buffer), std::end(buffer), 'x');
    EXPECT_EQ(std::snprintf(buffer, c.size, "<U+%.4X>", 0x1Fu), 8);
    EXPECT_EQ(std::string(buffer), c.text);
  }
  EXPECT_EQ(std::snprintf(nullptr, 0, "<U+%.4X>", 0x1Fu), 8);
}

}  // namespace
}  // namespace vaq
