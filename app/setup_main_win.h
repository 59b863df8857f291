#pragma once
#include <windows.h>

namespace vaq {

// The program: start-up, elevation, the setup window and its message loop. Returns the exit code.
int SetupMain(HINSTANCE instance);
// Releases the layers, the fonts and the edit brush at the end of the run.
void ReleaseUiResources();

}  // namespace vaq
