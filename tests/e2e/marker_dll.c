// A DLL planted beside the installer under the name of a system library: when the loader takes
// it, it leaves an empty file named after itself in the folder named by VAQ_DLL_MARKERS.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  wchar_t own[MAX_PATH];
  wchar_t marker[2 * MAX_PATH];
  const DWORD ownLength = GetModuleFileNameW(module, own, MAX_PATH);
  const DWORD folderLength = GetEnvironmentVariableW(L"VAQ_DLL_MARKERS", marker, MAX_PATH);
  if (ownLength == 0 || ownLength >= MAX_PATH || folderLength == 0 || folderLength >= MAX_PATH) return TRUE;
  const wchar_t* name = own;
  for (const wchar_t* p = own; *p != 0; ++p) {
    if (*p == L'\\' || *p == L'/') name = p + 1;
  }
  wchar_t* out = marker + folderLength;
  *out++ = L'\\';
  while (*name != 0) *out++ = *name++;
  *out = 0;
  const HANDLE file = CreateFileW(marker, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  return TRUE;
}
