#include "service/reply_text.h"

#include <gtest/gtest.h>

#include <string>

#include "base/failure_text.h"

namespace vaq {
namespace {

const std::u16string k403 = u"安装授权无效或已过期，请使用新的 4 位安装授权码。";
const std::u16string k429 = u"安装请求过于频繁，请稍后重试。";
const std::u16string k5xx = u"安装服务暂不可用，请稍后重试或联系管理员。";
const std::u16string kOther = u"服务器未能提供安装文件，请联系管理员。";
const std::u16string kGrant = u"0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";

struct ReplyCase {
  const char* what;
  uint32_t status;
  std::u16string body;
  std::u16string expected;
};

class Reply : public testing::TestWithParam<ReplyCase> {};

TEST_P(Reply, GivesTheShownText) {
  const ReplyCase& c = GetParam();
  EXPECT_EQ(ServiceReplyText(c.status, c.body), c.expected) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Fixed, Reply,
    testing::Values(
        ReplyCase{"403 empty", 403, u"", k403 + u"（HTTP 403）"},
        ReplyCase{"429", 429, u"", k429 + u"（HTTP 429）"},
        ReplyCase{"503 not JSON", 503, u"<html>busy</html>", k5xx + u"（HTTP 503）"},
        ReplyCase{"500", 500, u"", k5xx + u"（HTTP 500）"},
        ReplyCase{"599", 599, u"", k5xx + u"（HTTP 599）"},
        ReplyCase{"huge status is unsigned", 4294967295u, u"", k5xx + u"（HTTP 4294967295）"},
        ReplyCase{"404", 404, u"", kOther + u"（HTTP 404）"},
        ReplyCase{"401", 401, u"", kOther + u"（HTTP 401）"},
        ReplyCase{"204", 204, u"", kOther + u"（HTTP 204）"},
        ReplyCase{"302", 302, u"", kOther + u"（HTTP 302）"},
        ReplyCase{"100", 100, u"", kOther + u"（HTTP 100）"},
        ReplyCase{"499", 499, u"", kOther + u"（HTTP 499）"}));

INSTANTIATE_TEST_SUITE_P(
    ErrorMember, Reply,
    testing::Values(
        ReplyCase{"error first", 403, u"{\"error\":\"已停用\"}", u"已停用（HTTP 403）"},
        ReplyCase{"whitespace everywhere", 400, u" \t\r\n{ \n\"error\" : \t\"坏\" }", u"坏（HTTP 400）"},
        ReplyCase{"trailing members and garbage ignored", 400, u"{\"error\":\"x\",\"a\":1}}}garbage",
                  u"x（HTTP 400）"},
        ReplyCase{"escaped name", 400, u"{\"\\u0065rror\":\"x\"}", u"x（HTTP 400）"},
        ReplyCase{"spaces only is a message", 400, u"{\"error\":\"   \"}", u"   （HTTP 400）"},
        ReplyCase{"escaped line feed kept", 400, u"{\"error\":\"a\\nb\"}", u"a\nb（HTTP 400）"},
        ReplyCase{"escaped carriage return lost", 400, u"{\"error\":\"a\\r\\nb\"}", u"a\nb（HTTP 400）"},
        ReplyCase{"all simple escapes", 400, u"{\"error\":\"\\\"\\/\\\\\\b\\f\\t\"}", u"\"/\\\t（HTTP 400）"},
        ReplyCase{"surrogate pair escapes", 400, u"{\"error\":\"\\uD83D\\uDE00\"}", u"\U0001F600（HTTP 400）"},
        ReplyCase{"grant redacted, suffix intact", 400, u"{\"error\":\"grant " + kGrant + u"\"}",
                  u"grant [已隐藏凭证]（HTTP 400）"},
        ReplyCase{"second member", 403, u"{\"a\":\"b\",\"error\":\"x\"}", k403 + u"（HTTP 403）"},
        ReplyCase{"name Error", 403, u"{\"Error\":\"x\"}", k403 + u"（HTTP 403）"},
        ReplyCase{"number value", 403, u"{\"error\":5}", k403 + u"（HTTP 403）"},
        ReplyCase{"null value", 403, u"{\"error\":null}", k403 + u"（HTTP 403）"},
        ReplyCase{"object value", 403, u"{\"error\":{\"m\":\"x\"}}", k403 + u"（HTTP 403）"},
        ReplyCase{"empty value", 403, u"{\"error\":\"\"}", k403 + u"（HTTP 403）"},
        ReplyCase{"value of control characters only", 403, u"{\"error\":\"\\r\\u0007\"}", k403 + u"（HTTP 403）"},
        ReplyCase{"no closing quote", 403, u"{\"error\":\"abc", k403 + u"（HTTP 403）"},
        ReplyCase{"backslash last", 403, u"{\"error\":\"abc\\", k403 + u"（HTTP 403）"},
        ReplyCase{"short unicode escape", 403, u"{\"error\":\"\\u12\"}", k403 + u"（HTTP 403）"},
        ReplyCase{"bad hex in escape", 403, u"{\"error\":\"\\u12G4\"}", k403 + u"（HTTP 403）"},
        ReplyCase{"unknown escape", 403, u"{\"error\":\"\\x\"}", k403 + u"（HTTP 403）"},
        ReplyCase{"raw control character", 403, u"{\"error\":\"a\tb\"}", k403 + u"（HTTP 403）"},
        ReplyCase{"missing colon", 403, u"{\"error\" \"x\"}", k403 + u"（HTTP 403）"},
        ReplyCase{"array", 403, u"[\"error\"]", k403 + u"（HTTP 403）"}));

TEST(ReplyLength, LongMessageIsCutButTheSuffixIsWhole) {
  const std::u16string body = u"{\"error\":\"" + std::u16string(3000, u'说') + u"\"}";
  EXPECT_EQ(ServiceReplyText(500, body), std::u16string(1000, u'说') + u"（HTTP 500）");
}

struct ScanCase {
  const char* what;
  std::u16string text;
  size_t start;
  bool ok;
  std::u16string value;
  size_t end;
  size_t viewed = std::u16string::npos;  // how much of the text the scanner is shown
};

class Scan : public testing::TestWithParam<ScanCase> {};

TEST_P(Scan, ReadsOneToken) {
  const ScanCase& c = GetParam();
  size_t position = c.start;
  std::u16string value;
  const std::u16string_view viewed = std::u16string_view(c.text).substr(0, c.viewed);
  ASSERT_EQ(ScanJsonString(viewed, position, value), c.ok) << c.what;
  if (c.ok) {
    EXPECT_EQ(value, c.value) << c.what;
    EXPECT_EQ(position, c.end) << c.what;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Tokens, Scan,
    testing::Values(
        ScanCase{"simple, stops after the quote", u"\"ab\" rest", 0, true, u"ab", 4},
        ScanCase{"from a middle position", u"xx\"c\"", 2, true, u"c", 5},
        ScanCase{"empty string token", u"\"\"", 0, true, u"", 2},
        ScanCase{"lone surrogate escape kept", u"\"\\uDC00\"", 0, true, std::u16string(1, 0xDC00), 8},
        ScanCase{"upper-case hex", u"\"\\u00E9\"", 0, true, u"é", 8},
        ScanCase{"position at end", u"\"a\"", 3, false, u"", 0},
        ScanCase{"not a quote", u"a\"", 0, false, u"", 0},
        ScanCase{"only the opening quote", u"\"", 0, false, u"", 0},
        ScanCase{"unterminated", u"\"abc", 0, false, u"", 0},
        ScanCase{"a view that stops before the closing quote", u"\"abc\"", 0, false, u"", 0, 4},
        ScanCase{"a view that stops inside an escape", u"\"\\u00E9\"", 0, false, u"", 0, 6}));

}  // namespace
}  // namespace vaq
