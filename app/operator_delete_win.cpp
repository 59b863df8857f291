// The program's operator delete: new takes its blocks from malloc, so free gives them back, and
// _msize knows each block's size whichever form of delete is called.
#include <malloc.h>

#include <cstdlib>
#include <new>

#include "base/heap_wipe.h"

void operator delete(void* block) noexcept {
  if (block == nullptr) return;
  vaq::WipeFreedBlock(block, _msize(block));
  std::free(block);
}
void operator delete[](void* block) noexcept { operator delete(block); }
void operator delete(void* block, size_t) noexcept { operator delete(block); }
void operator delete[](void* block, size_t) noexcept { operator delete(block); }
