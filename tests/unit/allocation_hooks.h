#pragma once
// The programs that link allocation_hooks.cpp replace the global allocation functions, so that a
// test can look into every block before it is freed, and make allocation fail on demand.
#include <cstddef>

namespace vaq::test {

// From now on, each block freed is searched for these bytes (the caller keeps them alive).
void SearchFreedBlocksFor(const void* secret, size_t size);
void StopSearching();
// How many freed blocks held the bytes since SearchFreedBlocksFor.
int FreedBlocksWithSecret();

// While armed, every allocation throws std::bad_alloc.
void FailAllocations(bool armed);

}  // namespace vaq::test
