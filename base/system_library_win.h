#pragma once
// Where the process may load DLLs from. An installer runs elevated from a Downloads folder, so a
// DLL planted beside it must never be loaded: only the system directory is searched.
#include <windows.h>

namespace vaq {

// The first act of start-up: later loads by bare name search the system directory only. Where
// the system lacks SetDefaultDllDirectories, the current directory is dropped from the search
// and every library the program loads itself is named by full path (LoadSystemLibrary); those
// that system code asks for by name later are loaded first (preloaded_libraries_win.h).
void RestrictDllSearchToSystem();

// Loads a library by its full path in the system directory; its own dependencies are looked
// for there too. Null when it is missing there.
HMODULE LoadSystemLibrary(const wchar_t* fileName);

}  // namespace vaq
