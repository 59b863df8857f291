#pragma once
// Libraries copy what they read into buffers of their own: the JSON parser keeps every raw
// character of a token, reallocates that buffer as it grows, and quotes the last token in its
// error messages. No allocator of ours reaches those buffers, so while a HeapWipe lives every
// block given back through the program's operator delete is wiped first, whichever C++ code
// frees it. That is all that is wiped: blocks freed with free, HeapFree or LocalFree are not,
// nor what system DLLs keep. The grant can still be found in WinHTTP's own buffers (the request
// header it sent, the reply it read), which stay in its heap after every handle is closed, and,
// when the grant came from the file name, in the process's own path (its image name and
// command line) for as long as the process lives.
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
