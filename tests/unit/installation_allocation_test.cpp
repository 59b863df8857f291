// The installation worker always tells the window, even when the text of an exception cannot be
// made because memory has run out: nothing may escape the thread into std::terminate.
#include <gtest/gtest.h>

#include <stdexcept>

#include "install/installation_worker.h"
#include "tests/unit/allocation_hooks.h"
#include "tests/unit/recording_platform.h"

namespace vaq {
namespace {

// Memory comes back once the window is told, so that the call can be recorded.
class Platform : public test::RecordingPlatform {
 public:
  void Post(WindowHandle window, uint32_t message, uintptr_t wParam) override {
    test::FailAllocations(false);
    RecordingPlatform::Post(window, message, wParam);
  }
};

TEST(InstallationAllocation, AHandlerWithoutMemoryStillPostsTheFailure) {
  const struct {
    const char* what;
    void (*fail)();
  } cases[] = {
      {"a standard exception", [] {
         const std::runtime_error error("connection lost");
         test::FailAllocations(true);
         throw error;
       }},
      {"any other exception", [] {
         test::FailAllocations(true);
         throw 42;
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Platform platform;
    SetupContext context;
    context.grant = test::kGrant;
    context.failureText = u"stale";
    const auto fail = c.fail;
    RunInstallation(context, &platform, platform,
                    [fail](SetupContext&, auto, auto, auto, std::string_view, SecretBytes&,
                           uint32_t) -> bool {
                      fail();
                      return true;
                    });
    EXPECT_EQ(platform.log, std::vector<std::string>{"post 0"});
    EXPECT_EQ(context.failureText, u"");
  }
}

}  // namespace
}  // namespace vaq
