#pragma once
// The programs that link allocation_hooks.cpp replace the global allocation functions, so that a
// test can look into every block before it is freed and into the blocks still alive, and make
// allocation fail on demand. The hooks serve one thread at a time.
#include <cstddef>
#include <string>
#include <string_view>

namespace vaq::test {

// What a leaked secret looks like in memory: any `run` characters of it in a row (all of it when
// shorter), one byte or two (UTF-16) to a character. Secrets here are ASCII.
class Leak {
 public:
  explicit Leak(std::string_view secret, size_t run = 8);
  // Allocates nothing: it is called from operator delete.
  bool In(const void* memory, size_t size) const;

 private:
  std::string narrow_;
  std::u16string wide_;
  size_t run_;
};

// From now on, each block is searched for leak before it is freed, and the blocks allocated
// meanwhile are kept track of while they live (the caller keeps leak alive).
void SearchBlocksFor(const Leak& leak);
void StopSearching();
// How many freed blocks held the leak since SearchBlocksFor.
int FreedBlocksWithLeak();
// How many blocks allocated since SearchBlocksFor and not yet freed hold the leak, leaving out
// the one at except (a secret's rightful owner).
int LiveBlocksWithLeak(const void* except = nullptr);

// While armed, every allocation throws std::bad_alloc.
void FailAllocations(bool armed);

}  // namespace vaq::test
