// After start-up's restriction a DLL beside the exe is no longer found by bare name, and the
// program's own loads come from the system directory.
#include "app/system_library_win.h"

#include <gtest/gtest.h>

#include <string>

namespace vaq {
namespace {

constexpr wchar_t kPlanted[] = L"vaq_planted_probe.dll";

std::wstring FolderOf(HMODULE module) {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
  const std::wstring full(path, length);
  return full.substr(0, full.find_last_of(L'\\'));
}

std::wstring SystemDirectory() {
  wchar_t path[MAX_PATH];
  return std::wstring(path, GetSystemDirectoryW(path, MAX_PATH));
}

TEST(SystemLibrary, APlantedDllIsFoundBeforeTheRestrictionAndNotAfter) {
  const std::wstring planted = FolderOf(nullptr) + L"\\" + kPlanted;
  ASSERT_TRUE(CopyFileW(VAQ_MARKER_DLL_PATH, planted.c_str(), FALSE));

  const HMODULE before = LoadLibraryW(kPlanted);
  EXPECT_NE(before, nullptr) << "the probe is not found beside the exe, so the test proves nothing";
  if (before != nullptr) FreeLibrary(before);

  RestrictDllSearchToSystem();
  const HMODULE after = LoadLibraryW(kPlanted);
  EXPECT_EQ(after, nullptr);
  if (after != nullptr) FreeLibrary(after);
  EXPECT_EQ(LoadSystemLibrary(kPlanted), nullptr);

  const HMODULE winhttp = LoadSystemLibrary(L"winhttp.dll");
  ASSERT_NE(winhttp, nullptr);
  EXPECT_EQ(_wcsicmp(FolderOf(winhttp).c_str(), SystemDirectory().c_str()), 0);
  FreeLibrary(winhttp);
  DeleteFileW(planted.c_str());
}

}  // namespace
}  // namespace vaq
