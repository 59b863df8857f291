#include "tests/unit/allocation_hooks.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "base/heap_wipe.h"

namespace {

// In front of each block: its size, so that delete knows how much to search, and its links in
// the list of blocks allocated while searching. A multiple of 16 keeps malloc's alignment.
struct Header {
  size_t size;
  Header* previous;
  Header* next;
  bool tracked;
};
constexpr size_t kHeader = 32;
static_assert(sizeof(Header) <= kHeader);

bool g_failing = false;
const vaq::test::Leak* g_leak = nullptr;
int g_freedWithLeak = 0;
Header* g_live = nullptr;

unsigned char* Block(Header* header) { return reinterpret_cast<unsigned char*>(header) + kHeader; }

void Track(Header* header) {
  header->tracked = true;
  header->previous = nullptr;
  header->next = g_live;
  if (g_live != nullptr) g_live->previous = header;
  g_live = header;
}

void Untrack(Header* header) {
  if (!header->tracked) return;
  if (header->previous != nullptr) header->previous->next = header->next;
  else g_live = header->next;
  if (header->next != nullptr) header->next->previous = header->previous;
  header->tracked = false;
}

}  // namespace

namespace vaq::test {

Leak::Leak(std::string_view secret, size_t run)
    : narrow_(secret), wide_(secret.begin(), secret.end()), run_(std::min(run, secret.size())) {}

bool Leak::In(const void* memory, size_t size) const {
  const auto* bytes = static_cast<const unsigned char*>(memory);
  const auto found = [&](const void* wanted, size_t length) {
    const auto* first = static_cast<const unsigned char*>(wanted);
    return std::search(bytes, bytes + size, first, first + length) != bytes + size;
  };
  for (size_t start = 0; start + run_ <= narrow_.size(); ++start) {
    if (found(narrow_.data() + start, run_) || found(wide_.data() + start, run_ * sizeof(char16_t))) return true;
  }
  return false;
}

void SearchBlocksFor(const Leak& leak) {
  StopSearching();
  g_leak = &leak;
  g_freedWithLeak = 0;
}

void StopSearching() {
  g_leak = nullptr;
  while (g_live != nullptr) Untrack(g_live);
}

int FreedBlocksWithLeak() { return g_freedWithLeak; }

int LiveBlocksWithLeak(const void* except) {
  int found = 0;
  for (Header* header = g_live; header != nullptr; header = header->next) {
    if (Block(header) != except && g_leak->In(Block(header), header->size)) ++found;
  }
  return found;
}

void FailAllocations(bool armed) { g_failing = armed; }

}  // namespace vaq::test

void* operator new(size_t size) {
  if (g_failing) throw std::bad_alloc();
  auto* header = static_cast<Header*>(std::malloc(size + kHeader));
  if (header == nullptr) throw std::bad_alloc();
  header->size = size;
  header->tracked = false;
  if (g_leak != nullptr) Track(header);
  return Block(header);
}
void* operator new[](size_t size) { return operator new(size); }
void operator delete(void* block) noexcept {
  if (block == nullptr) return;
  auto* header = reinterpret_cast<Header*>(static_cast<unsigned char*>(block) - kHeader);
  Untrack(header);
  // As the program's own operator delete does, before the block is searched.
  vaq::WipeFreedBlock(block, header->size);
  if (g_leak != nullptr && g_leak->In(block, header->size)) ++g_freedWithLeak;
  std::free(header);
}
void operator delete[](void* block) noexcept { operator delete(block); }
void operator delete(void* block, size_t) noexcept { operator delete(block); }
void operator delete[](void* block, size_t) noexcept { operator delete(block); }
