#pragma once
// Libraries copy what they read into buffers of their own: the JSON parser keeps every raw
// character of a token, reallocates that buffer as it grows, and quotes the last token in its
// error messages. No allocator of ours reaches those buffers, so while a HeapWipe lives every
// heap block freed is wiped first, by whatever code frees it.
#include <cstddef>

namespace vaq {

class HeapWipe {
 public:
  HeapWipe() noexcept;
  ~HeapWipe();
  HeapWipe(const HeapWipe&) = delete;
  HeapWipe& operator=(const HeapWipe&) = delete;
};

// The replaced operator delete calls this with each block and its size before it frees it.
void WipeFreedBlock(void* block, size_t size) noexcept;

}  // namespace vaq
