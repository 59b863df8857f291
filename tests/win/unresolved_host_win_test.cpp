// Runs under scripts/wine-private-session.sh --without-localhost: the service host does not
// resolve, which surfaces when the request is sent.
#include <gtest/gtest.h>

#include "service/service_request_win.h"

namespace vaq {
namespace {

TEST(UnresolvedHost, IsARequestFailureWithTheDnsHint) {
  SetupContext context;
  SecretBytes response;
  EXPECT_FALSE(ServiceRequest(context, u"GET", u"/install/bootstrap.ps1", u"", "", response, 4096));
  EXPECT_EQ(context.failureText, u"请求安装服务失败（Windows 错误 12007）\n请检查 DNS 是否能解析 localhost。");
}

}  // namespace
}  // namespace vaq
