#pragma once
#include <windows.h>

#include "base/setup_context.h"

namespace vaq {

// Puts the redacted failure text on the clipboard as Unicode text; true when it is there.
bool CopyFailureText(SetupContext& context, HWND window);

}  // namespace vaq
