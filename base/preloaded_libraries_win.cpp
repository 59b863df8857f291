#include "base/preloaded_libraries_win.h"

#include "base/system_library_win.h"

namespace vaq {
namespace {

struct PreloadedLibrary {
  const wchar_t* fileName;
  PreloadTime time;
};

// Each entry: who asks for it by name. Sources: Wine's loader trace of every road
// (WINEDEBUG=+loaddll) and what WinHTTP, SChannel, CryptoAPI and themes load on Windows.
// KnownDLLs are left out: they are never looked for beside the exe. The e2e roads with planted
// DLLs read this table. One table serves both flavours: the 64-bit exe's roads, every library
// here planted beside it, load none of them either.
constexpr PreloadedLibrary kPreloadedLibraries[] = {
    // Themes: user32 loads it when the first window is made.
    {L"uxtheme.dll", PreloadTime::StartUp},
    // Desktop composition: the theme code and layered windows ask for it.
    {L"dwmapi.dll", PreloadTime::StartUp},
    // AlphaBlend for themed parts; Wine's theming loads it for the error box's scroll bar.
    {L"msimg32.dll", PreloadTime::StartUp},
    // CNG hashing and keys behind crypt32 and SChannel.
    {L"bcrypt.dll", PreloadTime::BeforeNetwork},
    {L"ncrypt.dll", PreloadTime::BeforeNetwork},
    // The default CryptoAPI provider, named without a path in its registry entry.
    {L"rsaenh.dll", PreloadTime::BeforeNetwork},
    // advapi32's CryptoAPI and random numbers, asked for by name on Windows 7.
    {L"cryptsp.dll", PreloadTime::BeforeNetwork},
    {L"cryptbase.dll", PreloadTime::BeforeNetwork},
    // crypt32's chain engine fetches missing issuer certificates through it.
    {L"cryptnet.dll", PreloadTime::BeforeNetwork},
    // SSPI, which WinHTTP delay-loads for TLS, and the TLS package it loads by name.
    {L"secur32.dll", PreloadTime::BeforeNetwork},
    {L"schannel.dll", PreloadTime::BeforeNetwork},
    // Wine's secur32 loads its other packages by name, and they load netapi32.
    {L"kerberos.dll", PreloadTime::BeforeNetwork},
    {L"msv1_0.dll", PreloadTime::BeforeNetwork},
    {L"netapi32.dll", PreloadTime::BeforeNetwork},
    // WinHTTP's proxy script engine.
    {L"jsproxy.dll", PreloadTime::BeforeNetwork},
    // Name resolution and interface queries behind WinHTTP's connections.
    {L"dnsapi.dll", PreloadTime::BeforeNetwork},
    {L"iphlpapi.dll", PreloadTime::BeforeNetwork},
};

}  // namespace

void PreloadSystemLibraries(PreloadTime time) {
  for (const PreloadedLibrary& library : kPreloadedLibraries) {
    // A library missing on this version of Windows is missing for the later load too.
    if (library.time == time) LoadSystemLibrary(library.fileName);
  }
}

}  // namespace vaq
