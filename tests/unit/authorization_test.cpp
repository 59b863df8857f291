// The worker's exchange over a substitute ServiceRequest: the request it makes, grant
// validation, every failure text, and the wiping of the body.
#include "service/authorization.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

namespace vaq {
namespace {

const std::string kGrant = "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";
const std::u16string kInvalid = u"中心返回的安装授权无效，请联系管理员。";
const std::u16string kUnreadable = u"无法读取安装授权，请联系管理员。";

struct Exchange {
  std::string reply;
  bool succeeds = true;
  std::u16string serviceFailure;
  std::function<void()> thrower;

  std::string seenBody;
  int calls = 0;
  AuthorizeRequest request;

  void Run() {
    SetupContext context;
    request.body = "{\"code\":\"4711\"}";
    request.failureText = u"";
    ExchangeCodeForGrant(context, request,
                         [this](SetupContext& c, std::u16string_view verb, std::u16string_view path,
                                std::u16string_view headers, std::string_view body,
                                SecretBytes& response, uint32_t limit) {
                           ++calls;
                           EXPECT_EQ(verb, u"POST");
                           EXPECT_EQ(path, u"/install/windows/authorize");
                           EXPECT_EQ(headers, u"Content-Type: application/json\r\n");
                           EXPECT_EQ(limit, 4096u);
                           EXPECT_TRUE(response.empty());
                           seenBody = body;
                           if (thrower) thrower();
                           c.failureText = serviceFailure;
                           response = reply;
                           return succeeds;
                         });
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(seenBody, "{\"code\":\"4711\"}");
    EXPECT_TRUE(request.body.empty());
  }
};

TEST(Authorization, GrantTable) {
  const std::string upper = "0123456789ABCDEF0123456789abcdef0123456789abcdef0123456789abcdef";
  const struct {
    std::string reply;
    std::string grant;
    std::u16string failure;
  } cases[] = {
      {"{\"grant\":\"" + kGrant + "\"}", kGrant, u""},
      {" \r\n\t{\"grant\" : \"" + kGrant + "\"}\n ", kGrant, u""},
      {"{\"id\":7,\"grant\":\"" + kGrant + "\",\"more\":{\"a\":[1]}}", kGrant, u""},
      {"{\"grant\":\"" + upper + "\"}", "", kInvalid},
      {"{\"grant\":\"" + kGrant.substr(1) + "\"}", "", kInvalid},
      {"{\"grant\":\"" + kGrant + "0\"}", "", kInvalid},
      {"{\"grant\":\"\"}", "", kInvalid},
      {"{\"grant\":\"" + kGrant.substr(0, 63) + "\\u0030\"}", kGrant.substr(0, 63) + "0", u""},
      {"{\"grant\":\"" + kGrant.substr(0, 63) + "\\u00e9\"}", "", kInvalid},
      {"{\"grant\":1234}", "", kUnreadable},
      {"{\"grant\":null}", "", kUnreadable},
      {"{\"grant\":[\"" + kGrant + "\"]}", "", kUnreadable},
      {"{\"grant\":{\"value\":\"" + kGrant + "\"}}", "", kUnreadable},
      {"{\"Grant\":\"" + kGrant + "\"}", "", kUnreadable},
      {"[{\"grant\":\"" + kGrant + "\"}]", "", kUnreadable},
      {"\"" + kGrant + "\"", "", kUnreadable},
      {"{\"grant\":\"" + kGrant + "\"} x", "", kUnreadable},
      {"{\"grant\":\"" + kGrant + "\"}{}", "", kUnreadable},
      {"{/* c */\"grant\":\"" + kGrant + "\"}", "", kUnreadable},
      {"{\"grant\":\"" + kGrant + "\"} // c", "", kUnreadable},
      {"{\"grant\":\"" + kGrant + "\"", "", kUnreadable},
      {"\xEF\xBB\xBF{\"grant\":\"" + kGrant + "\"}x", "", kUnreadable},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reply);
    Exchange exchange;
    exchange.reply = c.reply;
    exchange.Run();
    EXPECT_EQ(exchange.request.grant, std::u16string(c.grant.begin(), c.grant.end()));
    EXPECT_EQ(exchange.request.failureText, c.failure);
  }
}

TEST(Authorization, FailedRequestPassesItsTextOn) {
  Exchange exchange;
  exchange.succeeds = false;
  exchange.reply = "{\"grant\":\"" + kGrant + "\"}";
  exchange.serviceFailure = u"安装请求过于频繁，请稍后重试。（HTTP 429）";
  exchange.Run();
  EXPECT_EQ(exchange.request.failureText, exchange.serviceFailure);
  EXPECT_TRUE(exchange.request.grant.empty());
}

TEST(Authorization, AnyExceptionIsCaughtAndTheBodyStillWiped) {
  const std::function<void()> throwers[] = {
      [] { throw std::bad_alloc(); },
      [] { throw std::runtime_error("x"); },
      [] { throw 7; },
  };
  for (const auto& thrower : throwers) {
    Exchange exchange;
    exchange.thrower = thrower;
    exchange.Run();
    EXPECT_EQ(exchange.request.failureText, kUnreadable);
    EXPECT_TRUE(exchange.request.grant.empty());
  }
}

}  // namespace
}  // namespace vaq
