#include <windows.h>

#include "app/setup_main_win.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) { return vaq::SetupMain(instance); }
