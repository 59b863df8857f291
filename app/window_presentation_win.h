#pragma once
#include <windows.h>

namespace vaq {

// The setup window's handlers that are not state logic: destruction, painting, hit testing,
// the error box's colours and DPI changes. Returns false for messages it does not handle.
bool HandlePresentationMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

}  // namespace vaq
