#include "app/elevation.h"

#include <gtest/gtest.h>

namespace vaq {
namespace {

struct FakeElevation : ElevationPlatform {
  bool administrator = false;
  std::vector<std::u16string> arguments;
  bool relaunchStarts = true;
  std::vector<std::u16string> relaunches;

  bool HasAdministratorRights() override { return administrator; }
  std::vector<std::u16string> Arguments() override { return arguments; }
  bool RelaunchElevated(std::u16string_view argument) override {
    relaunches.emplace_back(argument);
    return relaunchStarts;
  }
};

TEST(Elevation, RelaunchesOnceWithTheMarkerAndNeverFromARelaunchedCopy) {
  const std::u16string marker(kElevatedRelaunchArgument);
  const struct {
    const char* name;
    bool administrator;
    std::vector<std::u16string> arguments;
    bool relaunchStarts;
    std::optional<int> exitCode;
    bool relaunched;
  } cases[] = {
      {"elevated, goes on", true, {}, true, std::nullopt, false},
      {"elevated copy, goes on", true, {marker}, true, std::nullopt, false},
      {"not elevated, copy started", false, {}, true, 0, true},
      {"not elevated, copy declined", false, {}, false, 1, true},
      {"other arguments are ignored", false, {u"/S", u"--vaq-elevated"}, true, 0, true},
      {"the marker differs in case", false, {u"--VAQ-ELEVATED-RELAUNCH"}, true, 0, true},
      {"copy still without the rights", false, {marker}, true, 1, false},
      {"marker among other arguments", false, {u"x", marker, u"y"}, true, 1, false},
  };
  for (const auto& c : cases) {
    FakeElevation platform;
    platform.administrator = c.administrator;
    platform.arguments = c.arguments;
    platform.relaunchStarts = c.relaunchStarts;
    EXPECT_EQ(ElevateOrExitCode(platform), c.exitCode) << c.name;
    EXPECT_EQ(platform.relaunches, c.relaunched ? std::vector<std::u16string>{marker} : std::vector<std::u16string>{})
        << c.name;
  }
}

}  // namespace
}  // namespace vaq
