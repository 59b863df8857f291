#pragma once
// System libraries that system code loads later by bare name. Where the DLL search cannot be
// restricted (Windows 7 without SetDefaultDllDirectories) such a load would look in the exe's
// folder first, and Wine's builtins do so even after the restriction. A library loaded once by
// its full system path is in the loaded-module list, which every later load by name finds first.
namespace vaq {

enum class PreloadTime {
  StartUp,        // before the window exists
  BeforeNetwork,  // before the first call into crypt32 or winhttp, on the thread making it
};

// Loads the libraries of that time by full system path; they stay loaded for the whole run.
void PreloadSystemLibraries(PreloadTime time);

}  // namespace vaq
