// The grant taken from the authorization reply: the fuzz bytes are the reply of a substitute
// service. A grant comes out only when it is 64 lowercase hex characters, and then exactly the
// reply's "grant" member; otherwise a failure text says why. The body is wiped on every path.
#include "base/text.h"
#include "fuzz/fuzz_support.h"
#include "service/authorization.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string reply(reinterpret_cast<const char*>(data), size);
  vaq::SetupContext context;
  vaq::AuthorizeRequest request;
  request.body = "{\"code\":\"4711\"}";
  vaq::ExchangeCodeForGrant(context, request,
                            [&](vaq::SetupContext&, std::u16string_view, std::u16string_view,
                                std::u16string_view, std::string_view, vaq::SecretBytes& response,
                                uint32_t) {
                              response = reply;
                              return true;
                            });
  FUZZ_CHECK(request.body.empty());
  if (request.grant.empty()) {
    FUZZ_CHECK(!request.failureText.empty());
    return 0;
  }
  FUZZ_CHECK(request.failureText.empty());
  FUZZ_CHECK(vaq::IsInstallGrant(request.grant.view()));
  // Without escapes the grant stands in the reply as written, as the value of "grant".
  if (reply.find('\\') == std::string::npos) {
    const std::string narrow(request.grant.data(), request.grant.data() + request.grant.size());
    FUZZ_CHECK(reply.find("\"" + narrow + "\"") != std::string::npos);
    FUZZ_CHECK(reply.find("\"grant\"") != std::string::npos);
  }
  return 0;
}
