// RedactCredentials never lets a credential run through, never exceeds its bound, and keeps
// no control character but TAB and LF.
#include "base/failure_text.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const vaq::fuzz::ExactWide input(data, size);
  const std::u16string out = vaq::RedactCredentials(input.view());
  FUZZ_CHECK(out.size() <= 1006);
  FUZZ_CHECK(!vaq::fuzz::HasCredentialRun(out));
  for (char16_t c : out) FUZZ_CHECK(c >= 0x20 || c == u'\t' || c == u'\n');
  FUZZ_CHECK(vaq::RedactCredentials(out) == out || out.size() > 999);
  return 0;
}
