// AuthorizationWorker on its own thread, with the real ServiceRequest, against the development
// service: the grant table, the texts, the posted message and the wiped body.
#include "service/authorization_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "base/handles_win.h"
#include "base/setup_context.h"
#include "tests/win/dev_service_win.h"

namespace vaq {
namespace {

using dev_service::Received;
using dev_service::SetReply;
using nlohmann::json;

const std::u16string kInvalid = u"中心返回的安装授权无效，请联系管理员。";
const std::u16string kUnreadable = u"无法读取安装授权，请联系管理员。";

class AuthorizationWorkerWin : public dev_service::ServiceTest {
 protected:
  void SetUp() override {
    ServiceTest::SetUp();
    window_ = CreateWindowExW(0, L"STATIC", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(window_, nullptr);
  }
  void TearDown() override {
    DestroyWindow(window_);
    ServiceTest::TearDown();
  }

  // Runs one exchange for the code as the window thread would hand it over; checks what every
  // run must do: one request with the 15-byte body, the body wiped, exactly one message.
  AuthorizeRequest& Run(const std::string& code) {
    AuthorizeRequest& request = g_setup.authorizeRequest;
    request = AuthorizeRequest{};
    request.window = window_;
    request.body = "{\"code\":\"" + code + "\"}";
    const std::string sent(request.body);
    dev_service::ClearReceived();
    const UniqueHandleKernel thread(
        CreateThread(nullptr, 0, AuthorizationWorker, &request, 0, nullptr));
    EXPECT_TRUE(thread);
    EXPECT_EQ(WaitForSingleObject(thread.Get(), INFINITE), WAIT_OBJECT_0);
    DWORD exitCode = 1;
    EXPECT_TRUE(GetExitCodeThread(thread.Get(), &exitCode));
    EXPECT_EQ(exitCode, 0u);

    EXPECT_TRUE(request.body.empty());
    MSG message;
    EXPECT_TRUE(PeekMessageW(&message, window_, WM_SETUP_AUTHORIZE_DONE, WM_SETUP_AUTHORIZE_DONE, PM_REMOVE));
    EXPECT_EQ(message.wParam, 0u);
    EXPECT_EQ(message.lParam, 0);
    EXPECT_FALSE(PeekMessageW(&message, window_, 0, 0, PM_REMOVE)) << "one message only";

    const std::vector<json> received = Received();
    EXPECT_EQ(received.size(), 1u);
    if (!received.empty()) {
      const json& body = received[0]["body_hex"];
      std::string hex;
      for (const unsigned char c : sent) {
        const char digits[] = "0123456789abcdef";
        hex += digits[c >> 4];
        hex += digits[c & 15];
      }
      EXPECT_EQ(body, hex);
    }
    return request;
  }

  HWND window_ = nullptr;
};

std::u16string Widen(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

TEST_F(AuthorizationWorkerWin, TheServiceExchangesItsCodeForItsGrant) {
  const AuthorizeRequest& request = Run(dev_service::Setting("VAQ_DEV_SERVICE_CODE"));
  EXPECT_EQ(request.grant, Widen(dev_service::Setting("VAQ_DEV_SERVICE_GRANT")));
  EXPECT_TRUE(request.failureText.empty());
}

TEST_F(AuthorizationWorkerWin, AWrongCodeShowsTheServicesRefusal) {
  const AuthorizeRequest& request = Run("0000");
  EXPECT_TRUE(request.grant.empty());
  EXPECT_EQ(request.failureText, u"安装授权码不正确或已过期。（HTTP 403）");
}

TEST_F(AuthorizationWorkerWin, GrantTable) {
  const std::string grant = "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";
  const std::string upper = "0123456789abcdef0123456789ABCDEF0123456789abcdef0123456789abcdef";
  const struct {
    std::string reply;
    std::string grant;
    std::u16string failure;
  } cases[] = {
      {"{\"grant\":\"" + grant + "\"}", grant, u""},
      {"{\"grant\":\"" + upper + "\"}", "", kInvalid},
      {"{\"grant\":\"" + grant.substr(1) + "\"}", "", kInvalid},
      {"{\"grant\":\"" + grant + "a\"}", "", kInvalid},
      {"{\"grant\":42}", "", kUnreadable},
      {"{\"grant\":null}", "", kUnreadable},
      {"{\"grant\":[\"" + grant + "\"]}", "", kUnreadable},
      {"{\"grant\":{}}", "", kUnreadable},
      {"{\"other\":\"" + grant + "\"}", "", kUnreadable},
      {"[\"" + grant + "\"]", "", kUnreadable},
      {"{\"grant\":\"" + grant + "\"} trailing", "", kUnreadable},
      {"{\"grant\":\"" + grant + "\" /* comment */}", "", kUnreadable},
      {"{\"expires\":3600,\"grant\":\"" + grant + "\",\"note\":[1,2]}", grant, u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reply);
    SetReply({{"status", 200}, {"body", c.reply}});
    const AuthorizeRequest& request = Run("4711");
    EXPECT_EQ(request.grant, Widen(c.grant));
    EXPECT_EQ(request.failureText, c.failure);
  }
}

TEST_F(AuthorizationWorkerWin, OversizedGrantReplyAndLargeErrorReply) {
  SetReply({{"status", 200}, {"body_size", 4097}});
  EXPECT_EQ(Run("4711").failureText, u"安装服务返回的内容超出允许大小，请联系管理员。");
  SetReply({{"status", 429}, {"body_size", 16384}});
  EXPECT_EQ(Run("4711").failureText, u"安装请求过于频繁，请稍后重试。（HTTP 429）");
}

}  // namespace
}  // namespace vaq
