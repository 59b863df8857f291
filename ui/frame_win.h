#pragma once
#include <windows.h>

#include "ui/surface.h"

namespace vaq {

// Composes the frame of the setup window; presents it on the layered window when target is
// null, else copies it into target.
void ComposeFrame(HWND window, HDC target);
// The answer to WM_NCHITTEST: click-through below alpha 128, drag band at the top.
LRESULT HitTest(HWND window, WPARAM wParam, LPARAM lParam);
// Releases the page and frame layers and forgets the page keys (window destroyed, end of run).
void ReleaseFrameLayers();

// The last composed frame, as presented; the hit test reads it.
const Surface& FrameLayer();
// How many times the page layer has been rendered in this process (it is cached between frames).
unsigned PageRenderCount();

}  // namespace vaq
