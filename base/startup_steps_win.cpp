#include "base/startup_steps_win.h"

#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstring>

#include "base/handles_win.h"

namespace vaq {
namespace {

struct Step {
  const char* name;
  long long microseconds;
  unsigned long long privateBytes;
};

constexpr size_t kMaxSteps = 32;
Step g_steps[kMaxSteps];
size_t g_stepCount = 0;

// The host's own clock, so that the script can set the steps beside its own times.
long long UnixMicroseconds(const FILETIME& time) {
  constexpr long long kFileTimeAt1970 = 116444736000000000LL;
  const long long ticks = (static_cast<long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  return (ticks - kFileTimeAt1970) / 10;
}

template <typename Function>
Function Kernel32Function(const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name)));
}

// The commit charge, as scripts/footprint.sh reads it from outside (tools/footprint/process_memory_win.cpp).
unsigned long long PrivateBytes() {
  using MemoryInfoFunction = BOOL(WINAPI*)(HANDLE, PROCESS_MEMORY_COUNTERS*, DWORD);
  const auto memoryInfo = Kernel32Function<MemoryInfoFunction>("K32GetProcessMemoryInfo");
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof(counters);
  if (memoryInfo == nullptr || !memoryInfo(GetCurrentProcess(), &counters, sizeof(counters))) return 0;
  return counters.PagefileUsage;
}

}  // namespace

void MarkStartupStep(const char* step) {
  // The frame marks come again on every frame: a step already noted costs no clock or memory query.
  for (size_t i = 0; i < g_stepCount; ++i) {
    if (std::strcmp(g_steps[i].name, step) == 0) return;
  }
  // Windows 8's precise clock; the build targets Windows 7, whose clock ticks every 15.6 ms.
  using PreciseTimeFunction = void(WINAPI*)(FILETIME*);
  const auto preciseTime = Kernel32Function<PreciseTimeFunction>("GetSystemTimePreciseAsFileTime");
  FILETIME now;
  if (preciseTime != nullptr) {
    preciseTime(&now);
  } else {
    GetSystemTimeAsFileTime(&now);
  }
  if (g_stepCount < kMaxSteps) g_steps[g_stepCount++] = {step, UnixMicroseconds(now), PrivateBytes()};
}

void WriteStartupSteps() {
  wchar_t path[MAX_PATH];
  const DWORD length = GetEnvironmentVariableW(L"VAQ_STARTUP_STEPS", path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return;
  char text[kMaxSteps * 64 + 64];
  int used = std::snprintf(text, sizeof(text), "%lld - process created\n", UnixMicroseconds(created));
  for (size_t i = 0; i < g_stepCount && used > 0 && size_t(used) < sizeof(text); ++i) {
    used += std::snprintf(text + used, sizeof(text) - size_t(used), "%lld %llu %s\n", g_steps[i].microseconds,
                          g_steps[i].privateBytes, g_steps[i].name);
  }
  if (used <= 0 || size_t(used) >= sizeof(text)) return;
  const UniqueFile file(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  if (file) WriteFile(file.Get(), text, DWORD(used), &written, nullptr);
}

}  // namespace vaq
