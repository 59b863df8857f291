#pragma once
// Whether start-up goes on in this process or relaunches itself elevated. The relaunch carries a
// marker argument, so that a copy that elevation left without administrator rights (UAC off for
// a standard user, for example) gives up instead of starting another copy, and another.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vaq {

// Passed by the program to its elevated copy, never by anyone else; every other argument is ignored.
constexpr std::u16string_view kElevatedRelaunchArgument = u"--vaq-elevated-relaunch";

class ElevationPlatform {
 public:
  virtual ~ElevationPlatform() = default;
  virtual bool HasAdministratorRights() = 0;
  // The command-line arguments after the program's own name.
  virtual std::vector<std::u16string> Arguments() = 0;
  // Starts an elevated copy of the program with the argument; true when it was started.
  virtual bool RelaunchElevated(std::u16string_view argument) = 0;
};

// Nothing when this process has the rights and goes on; otherwise its exit code: 0 when the
// elevated copy was started, 1 when it was not or when this process is that copy.
std::optional<int> ElevateOrExitCode(ElevationPlatform& platform);

}  // namespace vaq
