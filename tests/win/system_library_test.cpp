// After start-up's restriction a DLL beside the exe is no longer found by bare name, and the
// program's own loads come from the system directory.
#include "base/system_library_win.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/win/system_folder_win.h"

namespace vaq {
namespace {

using test::FolderOf;
using test::FromSystemFolder;

constexpr wchar_t kPlanted[] = L"vaq_planted_probe.dll";

TEST(SystemLibrary, APlantedDllIsFoundBeforeTheRestrictionAndNotAfter) {
  const std::wstring planted = FolderOf(nullptr) + L"\\" + kPlanted;
  const std::wstring marker = FolderOf(nullptr) + L"\\marker.dll";
  ASSERT_TRUE(CopyFileW(marker.c_str(), planted.c_str(), FALSE)) << GetLastError();

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
  EXPECT_TRUE(FromSystemFolder(winhttp)) << FolderOf(winhttp);
  FreeLibrary(winhttp);
  DeleteFileW(planted.c_str());
}

}  // namespace
}  // namespace vaq
