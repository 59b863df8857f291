// ServiceReplyText always ends in the intact status suffix, and what precedes it is redacted.
// ScanJsonString never reads past the text and leaves the position after the closing quote.
#include "fuzz/fuzz_support.h"
#include "service/reply_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  const uint32_t status = data[0] | (data[1] << 8) | (data[2] << 16) | (uint32_t{data[3]} << 24);
  const vaq::fuzz::ExactWide input(data + 4, size - 4);
  const std::u16string_view body = input.view();

  const std::u16string text = vaq::ServiceReplyText(status, body);
  std::u16string suffix = u"（HTTP ";
  for (char c : std::to_string(status)) suffix.push_back(static_cast<char16_t>(c));
  suffix += u"）";
  FUZZ_CHECK(text.size() > suffix.size());
  FUZZ_CHECK(text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0);
  const std::u16string message = text.substr(0, text.size() - suffix.size());
  FUZZ_CHECK(message.size() <= 1006);
  FUZZ_CHECK(!vaq::fuzz::HasCredentialRun(message));

  size_t position = 0;
  std::u16string token;
  if (vaq::ScanJsonString(body, position, token)) {
    FUZZ_CHECK(position >= 2 && position <= body.size());
    FUZZ_CHECK(body[0] == u'"' && body[position - 1] == u'"');
    FUZZ_CHECK(token.size() <= position - 2);
  }
  return 0;
}
