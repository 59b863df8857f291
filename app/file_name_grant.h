#pragma once
#include <string>
#include <string_view>

#include "base/secret.h"

namespace vaq {

// The install grant carried in the installer's own file name
// ("VAQ-Setup-" + 64 lowercase hex + ".exe", or a browser's " (N).exe" duplicate name),
// or empty when the name carries none.
SecretText ParseInstallerFileName(std::u16string_view path);

}  // namespace vaq
