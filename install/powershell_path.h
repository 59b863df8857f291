#pragma once
// Where Windows PowerShell is, under the system directory. The stand-in is put at the same place.
#include <string_view>

namespace vaq {

constexpr std::u16string_view kPowerShellTail = u"\\WindowsPowerShell\\v1.0\\powershell.exe";

}  // namespace vaq
