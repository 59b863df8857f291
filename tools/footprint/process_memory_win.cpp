// Prints the peak working set and the private bytes, in bytes, of the process that shows the
// top-level window with exactly this title (scripts/footprint.sh reads them at the code page).
//   process_memory "<window title>"
#include <windows.h>
#include <psapi.h>

#include <cstdio>

#include "base/handles_win.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  const HWND window = FindWindowW(nullptr, argv[1]);
  DWORD processId = 0;
  if (window == nullptr || GetWindowThreadProcessId(window, &processId) == 0) return 1;
  const vaq::UniqueHandleKernel process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof(counters);
  if (!process || !GetProcessMemoryInfo(process.Get(), &counters, sizeof(counters))) return 1;
  // Private bytes are the commit charge, which Windows reports as PagefileUsage and as the
  // extended PrivateUsage alike; Wine 8 fills only the first for another process.
  std::printf("%llu %llu\n", static_cast<unsigned long long>(counters.PeakWorkingSetSize),
              static_cast<unsigned long long>(counters.PagefileUsage));
  return 0;
}
