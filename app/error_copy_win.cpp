#include "app/error_copy_win.h"

#include <cstring>

#include "base/failure_text.h"
#include "base/handles_win.h"

namespace vaq {

bool CopyFailureText(SetupContext& context, HWND window) {
  // Redacted once more: the stored text may hold what was never meant to leave the window.
  const std::u16string text = RedactCredentials(context.failureText);
  if (text.empty()) return false;
  const ClipboardSession clipboard(window);
  if (!clipboard) return false;
  const size_t bytes = (text.size() + 1) * sizeof(char16_t);
  UniqueGlobal block(GlobalAlloc(GMEM_MOVEABLE, bytes));
  if (!block) return false;
  {
    const GlobalLockGuard target(block.Get());
    if (!target) return false;
    std::memcpy(target.Data(), text.c_str(), bytes);
  }
  if (!EmptyClipboard() || SetClipboardData(CF_UNICODETEXT, block.Get()) == nullptr) return false;
  static_cast<void>(block.Take());  // the clipboard owns the block now
  return true;
}

}  // namespace vaq
