// ParseInstallerFileName returns nothing or exactly 64 lowercase hex characters taken from the
// name, right after "VAQ-Setup-".
#include "app/file_name_grant.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const vaq::fuzz::ExactWide input(data, size);
  const std::u16string_view path = input.view();
  const vaq::SecretText parsed = vaq::ParseInstallerFileName(path);
  const std::u16string_view grant = parsed;
  if (grant.empty()) return 0;
  FUZZ_CHECK(grant.size() == 64);
  for (char16_t c : grant) FUZZ_CHECK((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f'));
  const size_t separator = path.find_last_of(u"\\/");
  const size_t name = separator == std::u16string::npos ? 0 : separator + 1;
  FUZZ_CHECK(path.compare(name, 10, u"VAQ-Setup-") == 0);
  FUZZ_CHECK(path.compare(name + 10, 64, grant) == 0);
  return 0;
}
