#include <windows.h>

#include "base/failure_text.h"
#include "base/handles_win.h"
#include "base/wide_win.h"

namespace vaq {

std::optional<std::u16string> SystemMessageText(uint32_t code) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  const UniqueLocal owner(buffer);
  if (length == 0 || buffer == nullptr) return std::nullopt;
  return std::u16string(AsU16View(buffer, length));
}

}  // namespace vaq
