#pragma once
#include <windows.h>

#include "base/setup_context.h"
#include "ui/layout.h"
#include "ui/surface.h"

namespace vaq {

// The outcome flag `succeeded` is kept in the window's user data; these are its one reader and
// its one writer. No window has not succeeded.
bool OutcomeSucceeded(HWND window);
void SetOutcome(HWND window, bool succeeded);

// Clears the surface and draws the static page of a state; progressFrame -1 leaves the
// progress bar out (the frame composition draws it over the cached page).
void RenderPage(Surface& surface, int dpi, SetupState state, bool succeeded, bool startFailure, HFONT titleFont,
                HFONT bodyFont, HFONT brandFont, int progressFrame);
// The service line, the four code boxes and the hint of the code page, from g_setup.
void DrawCodeEntryOverlay(Surface& surface, int dpi);
void DrawCodeBox(Surface& surface, const Rect& box, HFONT font, int dpi, bool filled, bool focused, bool error);

}  // namespace vaq
