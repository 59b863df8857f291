#include "base/heap_wipe.h"

#include <atomic>

#include "base/text.h"

namespace vaq {
namespace {

// Process-wide rather than per thread: a block another thread frees meanwhile costs a wipe,
// and the counter needs no thread-local storage, which operator delete may outlive.
std::atomic<int> g_wiping{0};

}  // namespace

HeapWipe::HeapWipe() noexcept { ++g_wiping; }
HeapWipe::~HeapWipe() { --g_wiping; }

void WipeFreedBlock(void* block, size_t size) noexcept {
  if (g_wiping.load(std::memory_order_relaxed) > 0) SecureWipe(block, size);
}

}  // namespace vaq
