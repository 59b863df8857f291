#include "app/elevation.h"

#include <algorithm>

namespace vaq {

std::optional<int> ElevateOrExitCode(ElevationPlatform& platform) {
  if (platform.HasAdministratorRights()) return std::nullopt;
  const std::vector<std::u16string> arguments = platform.Arguments();
  if (std::find(arguments.begin(), arguments.end(), kElevatedRelaunchArgument) != arguments.end()) return 1;
  return platform.RelaunchElevated(kElevatedRelaunchArgument) ? 0 : 1;
}

}  // namespace vaq
