#include <windows.h>

#include <cstdlib>

#include "app/setup_main_win.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) { return vaq::SetupMain(instance); }

#if defined(__GLIBCXX__)
// A window program has no console to print why it terminates; the library's default handler
// would only write there, and would bring its demangler (about 46 KB) into the exe to do it.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
#endif
