#include "service/reply_text.h"

#include <cwctype>

#include "base/failure_text.h"
#include "base/text.h"

namespace vaq {
namespace {

std::u16string_view FixedReplyText(uint32_t status) {
  if (status == 403) return u"安装授权无效或已过期，请使用新的 4 位安装授权码。";
  if (status == 429) return u"安装请求过于频繁，请稍后重试。";
  if (status >= 500) return u"安装服务暂不可用，请稍后重试或联系管理员。";
  return u"服务器未能提供安装文件，请联系管理员。";
}

void SkipWhitespace(std::u16string_view text, size_t& position) {
  while (position < text.size() && std::iswspace(static_cast<wint_t>(text[position]))) ++position;
}

int HexValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

bool ReadEscape(std::u16string_view text, size_t& position, char16_t& unit) {
  if (position >= text.size()) return false;
  const char16_t c = text[position++];
  switch (c) {
    case u'"': case u'/': case u'\\': unit = c; return true;
    case u'b': unit = 0x08; return true;
    case u'f': unit = 0x0C; return true;
    case u'n': unit = 0x0A; return true;
    case u'r': unit = 0x0D; return true;
    case u't': unit = 0x09; return true;
    case u'u': break;
    default: return false;
  }
  if (text.size() - position < 4) return false;
  unsigned value = 0;
  for (int k = 0; k < 4; ++k) {
    const int digit = HexValue(text[position + k]);
    if (digit < 0) return false;
    value = value * 16 + static_cast<unsigned>(digit);
  }
  position += 4;
  unit = static_cast<char16_t>(value);
  return true;
}

// The first member's string value when it is named "error", else empty.
std::u16string LeadingErrorMember(std::u16string_view body) {
  size_t position = 0;
  SkipWhitespace(body, position);
  if (position >= body.size() || body[position] != u'{') return {};
  ++position;
  SkipWhitespace(body, position);
  std::u16string name;
  if (!ScanJsonString(body, position, name) || name != u"error") return {};
  SkipWhitespace(body, position);
  if (position >= body.size() || body[position] != u':') return {};
  ++position;
  SkipWhitespace(body, position);
  std::u16string message;
  if (!ScanJsonString(body, position, message)) return {};
  return message;
}

}  // namespace

bool ScanJsonString(std::u16string_view text, size_t& position, std::u16string& out) {
  if (position >= text.size() || text[position++] != u'"') return false;
  out.clear();
  if (position >= text.size()) return false;
  for (;;) {
    char16_t unit = text[position++];
    if (unit == u'"') return true;
    if (unit < 0x20) return false;
    if (unit == u'\\' && !ReadEscape(text, position, unit)) return false;
    out.push_back(unit);
    if (position >= text.size()) return false;
  }
}

std::u16string ServiceReplyText(uint32_t status, std::u16string_view bodyText) {
  // A message of control characters only would redact to nothing and leave the user with a
  // bare status: the fixed text stands in for it as for an empty one.
  std::u16string message = RedactCredentials(LeadingErrorMember(bodyText));
  if (message.empty()) message = FixedReplyText(status);
  return message + u"（HTTP " + DecimalText(status) + u"）";
}

}  // namespace vaq
