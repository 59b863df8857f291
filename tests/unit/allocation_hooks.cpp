#include "tests/unit/allocation_hooks.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "app/heap_wipe.h"

namespace {

// Each block carries its size in front of it, so that delete knows how much to search.
constexpr size_t kHeader = 16;

bool g_searching = false;
bool g_failing = false;
const unsigned char* g_secret = nullptr;
size_t g_secretSize = 0;
int g_freedWithSecret = 0;

void Inspect(const unsigned char* block, size_t size) {
  if (!g_searching || size < g_secretSize) return;
  if (std::search(block, block + size, g_secret, g_secret + g_secretSize) != block + size) ++g_freedWithSecret;
}

}  // namespace

namespace vaq::test {

void SearchFreedBlocksFor(const void* secret, size_t size) {
  g_secret = static_cast<const unsigned char*>(secret);
  g_secretSize = size;
  g_freedWithSecret = 0;
  g_searching = true;
}
void StopSearching() { g_searching = false; }
int FreedBlocksWithSecret() { return g_freedWithSecret; }
void FailAllocations(bool armed) { g_failing = armed; }

}  // namespace vaq::test

void* operator new(size_t size) {
  if (g_failing) throw std::bad_alloc();
  auto* base = static_cast<unsigned char*>(std::malloc(size + kHeader));
  if (base == nullptr) throw std::bad_alloc();
  std::memcpy(base, &size, sizeof(size));
  return base + kHeader;
}
void* operator new[](size_t size) { return operator new(size); }
void operator delete(void* block) noexcept {
  if (block == nullptr) return;
  unsigned char* base = static_cast<unsigned char*>(block) - kHeader;
  size_t size = 0;
  std::memcpy(&size, base, sizeof(size));
  // As the program's own operator delete does, before the block is searched.
  vaq::WipeFreedBlock(block, size);
  Inspect(static_cast<unsigned char*>(block), size);
  std::free(base);
}
void operator delete[](void* block) noexcept { operator delete(block); }
void operator delete(void* block, size_t) noexcept { operator delete(block); }
void operator delete[](void* block, size_t) noexcept { operator delete(block); }
