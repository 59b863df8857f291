// The host has no system message table; the setup flow's tests compose their expected texts
// with the same function, so an empty table is enough.
#include "base/failure_text.h"

namespace vaq {
std::optional<std::u16string> SystemMessageText(uint32_t) { return std::nullopt; }
}  // namespace vaq
