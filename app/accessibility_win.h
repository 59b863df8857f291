#pragma once
// What screen readers read from the setup window (MSAA). The page is drawn, not made of
// controls, so the window's client object and the code and error boxes are served by a thin
// object over the system's standard proxy that answers name, description and busy state from
// the page model; everything else is the proxy's, but for the service by which the proxy tells
// UI Automation that it is the plain proxy. oleacc.dll is loaded on the first request.
#include <windows.h>

#include <optional>

namespace vaq {

// WM_GETOBJECT for the setup window or one of its boxes; nullopt leaves the request to the
// default handling (other controls, other objects, or oleacc unavailable).
std::optional<LRESULT> AnswerGetObject(HWND window, WPARAM wParam, LPARAM lParam);

// At the end of a window: what clients still hold answers CO_E_OBJNOTCONNECTED from then on.
void DisconnectAccessible(HWND window);

// Tells listening screen readers that the page's title (EVENT_OBJECT_NAMECHANGE) or the lines
// under it (EVENT_OBJECT_DESCRIPTIONCHANGE) changed since the last call for this window.
void AnnouncePageChanges(HWND window);

}  // namespace vaq
