#include "base/failure_text.h"

#include <gtest/gtest.h>

#include <string>

#include "base/service_contract.h"

namespace vaq {
namespace {

const std::u16string kGrant = u"0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";
const std::u16string kMarker(kCredentialMarker);

struct RedactCase {
  const char* what;
  std::u16string input;
  std::u16string expected;
};

class Redact : public testing::TestWithParam<RedactCase> {};

TEST_P(Redact, GivesTheShownText) {
  EXPECT_EQ(RedactCredentials(GetParam().input), GetParam().expected) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Redact,
    testing::Values(
        RedactCase{"empty", u"", u""},
        RedactCase{"grant alone", kGrant, kMarker},
        RedactCase{"key and grant", u"grant=" + kGrant, u"grant=" + kMarker},
        RedactCase{"two grants", kGrant + u" " + kGrant, kMarker + u" " + kMarker},
        RedactCase{"32 hex digits", std::u16string(32, u'A'), kMarker},
        RedactCase{"31 hex digits pass", std::u16string(31, u'f'), std::u16string(31, u'f')},
        RedactCase{"run glued to letters", u"xyz" + std::u16string(40, u'9') + u"g",
                   u"xyz" + kMarker + u"g"},
        RedactCase{"braced GUID passes", u"{0123ABCD-0123-4567-89AB-0123456789AB}",
                   u"{0123ABCD-0123-4567-89AB-0123456789AB}"},
        RedactCase{"full-width digits are not hex", std::u16string(40, u'０'), std::u16string(40, u'０')},
        RedactCase{"CR LF becomes LF", u"a\r\nb\r\n", u"a\nb\n"},
        RedactCase{"a credential split by a CR is still hidden",
                   kGrant.substr(0, 20) + u"\r" + kGrant.substr(20), kMarker},
        RedactCase{"NUL BEL ESC vanish, TAB stays", std::u16string(u"a\0b\x07" u"c\x1b" u"d\te", 9),
                   u"abcd\te"},
        RedactCase{"non-ASCII, BOM and lone surrogate pass", u"安装\uFEFF" + std::u16string(1, 0xD800),
                   u"安装\uFEFF" + std::u16string(1, 0xD800)},
        RedactCase{"5000 ordinary units keep 1000", std::u16string(5000, u'x'), std::u16string(1000, u'x')},
        RedactCase{"999 units then a grant keep the marker", std::u16string(999, u'x') + kGrant,
                   std::u16string(999, u'x') + kMarker},
        RedactCase{"1000 units then a grant drop it", std::u16string(1000, u'x') + kGrant,
                   std::u16string(1000, u'x')}));

TEST(RedactBound, NeverMoreThan1006Units) {
  EXPECT_EQ(RedactCredentials(std::u16string(999, u'x') + kGrant + u"tail").size(), 1006u);
  EXPECT_EQ(RedactCredentials(std::u16string(998, u'x') + kGrant + kGrant).size(), 1005u);
}

struct Utf8Case {
  const char* what;
  std::string bytes;
  std::u16string expected;
  size_t viewed = std::string::npos;  // how many of the bytes the decoder is shown
};

class Utf8 : public testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8, DecodesAllOrNothing) {
  const std::string_view viewed = std::string_view(GetParam().bytes).substr(0, GetParam().viewed);
  EXPECT_EQ(Utf8ToWide(viewed), GetParam().expected) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Utf8,
    testing::Values(
        Utf8Case{"empty", "", u""},
        Utf8Case{"ASCII", "abc", u"abc"},
        Utf8Case{"NUL bytes are characters", std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
        Utf8Case{"Chinese", "\xE5\xAE\x89\xE8\xA3\x85", u"安装"},
        Utf8Case{"BOM stays", "\xEF\xBB\xBFx", u"\uFEFFx"},
        Utf8Case{"four-byte form gives a pair", "\xF0\x9F\x98\x80", u"\U0001F600"},
        Utf8Case{"largest code point", "\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
        Utf8Case{"UTF-16 text", "\xFF\xFE" "a\0", u""},
        Utf8Case{"cut at the end", "ok\xE5\xAE", u""},
        Utf8Case{"a view that stops inside a character", "ok\xE5\xAE\x89", u"", 4},
        Utf8Case{"lone continuation", "a\x80" "b", u""},
        Utf8Case{"overlong slash", "\xC0\xAF", u""},
        Utf8Case{"overlong three-byte", "\xE0\x80\xAF", u""},
        Utf8Case{"encoded surrogate", "\xED\xA0\x80", u""},
        Utf8Case{"above U+10FFFF", "\xF4\x90\x80\x80", u""},
        Utf8Case{"F5 lead", "\xF5\x80\x80\x80", u""},
        Utf8Case{"missing continuation", "\xE5" "ab", u""},
        Utf8Case{"a lead byte where a continuation must stand", "\xC3\xC3", u""},
        Utf8Case{"GBK text", "\xD6\xD0\xCE\xC4", u""},
        Utf8Case{"encoded U+DFFF", "\xED\xBF\xBF", u""}));

const std::u16string kNetworkHint = u"\n请检查网络、代理和安装服务的 HTTPS 连接。";

struct ComposeCase {
  uint32_t code;
  std::optional<std::u16string> systemText;
  std::u16string expected;
};

class Compose : public testing::TestWithParam<ComposeCase> {};

TEST_P(Compose, BuildsBaseCodeSystemTextAndHint) {
  const ComposeCase& c = GetParam();
  EXPECT_EQ(WindowsFailureText(u"请求安装服务失败", c.code, c.systemText), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, Compose,
    testing::Values(
        ComposeCase{0, u"A device attached to the system is not functioning.\r\n",
                    u"请求安装服务失败（Windows 错误 31）：A device attached to the system is not functioning.\n"},
        ComposeCase{5, u"Access denied.\r\n",
                    u"请求安装服务失败（Windows 错误 5）：Access denied.\n\n请检查管理员权限、文件权限及安全软件的拦截记录。"},
        ComposeCase{12002, std::nullopt, u"请求安装服务失败（Windows 错误 12002）" + kNetworkHint},
        ComposeCase{12029, std::nullopt, u"请求安装服务失败（Windows 错误 12029）" + kNetworkHint},
        ComposeCase{12007, std::nullopt,
                    u"请求安装服务失败（Windows 错误 12007）\n请检查 DNS 是否能解析 " +
                        std::u16string(service::kHost) + u"。"},
        ComposeCase{12175, std::nullopt,
                    u"请求安装服务失败（Windows 错误 12175）\nHTTPS 证书验证失败，请检查系统时间、证书信任和 TLS 1.2 支持。"},
        ComposeCase{4, std::nullopt, u"请求安装服务失败（Windows 错误 4）"},
        ComposeCase{6, std::nullopt, u"请求安装服务失败（Windows 错误 6）"},
        ComposeCase{12001, std::nullopt, u"请求安装服务失败（Windows 错误 12001）"},
        ComposeCase{12003, std::nullopt, u"请求安装服务失败（Windows 错误 12003）"},
        ComposeCase{12174, std::nullopt, u"请求安装服务失败（Windows 错误 12174）"},
        ComposeCase{12176, std::nullopt, u"请求安装服务失败（Windows 错误 12176）"},
        ComposeCase{0x80070005u, std::nullopt, u"请求安装服务失败（Windows 错误 2147942405）"},
        ComposeCase{0xFFFFFFFFu, std::nullopt, u"请求安装服务失败（Windows 错误 4294967295）"}));

TEST(ComposeRedaction, CredentialsInTheBaseTextAndSystemTextAreHidden) {
  EXPECT_EQ(WindowsFailureText(u"失败 " + kGrant, 6, u"x=" + kGrant),
            u"失败 " + kMarker + u"（Windows 错误 6）：x=" + kMarker);
}

}  // namespace
}  // namespace vaq
