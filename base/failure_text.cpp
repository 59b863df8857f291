#include "base/failure_text.h"

#include "base/service_contract.h"
#include "base/text.h"

namespace vaq {
namespace {

constexpr size_t kCredentialRun = 32;
constexpr size_t kRedactedBound = 999;

constexpr bool IsHexDigit(char16_t c) {
  return IsLowerHexDigit(c) || (c >= u'A' && c <= u'F');
}

// Joined at compile time from the macro behind service::kHost: a static built at run time would
// bring the runtime's thread-safe guard and its condition variables into the exe.
constexpr std::u16string_view kDnsHint = u"\n请检查 DNS 是否能解析 " VAQ_SERVICE_HOST u"。";

std::u16string_view HintLine(uint32_t code) {
  switch (code) {
    case 5: return u"\n请检查管理员权限、文件权限及安全软件的拦截记录。";
    case 12002:
    case 12029: return u"\n请检查网络、代理和安装服务的 HTTPS 连接。";
    case 12007: return kDnsHint;
    case 12175: return u"\nHTTPS 证书验证失败，请检查系统时间、证书信任和 TLS 1.2 支持。";
    default: return {};
  }
}

}  // namespace

std::u16string RedactCredentials(std::u16string_view text) {
  // Control characters go first, so that one standing inside a credential cannot split it
  // into two short runs that join again once it is dropped.
  std::u16string shown;
  shown.reserve(text.size());
  for (char16_t c : text) {
    if (c == u'\t' || c == u'\n' || c >= 0x20) shown.push_back(c);
  }
  std::u16string out;
  size_t pos = 0;
  while (pos < shown.size()) {
    if (out.size() > kRedactedBound) break;
    size_t run = 0;
    while (pos + run < shown.size() && IsHexDigit(shown[pos + run])) ++run;
    if (run >= kCredentialRun) {
      out += kCredentialMarker;
      pos += run;
    } else {
      out.push_back(shown[pos++]);
    }
  }
  return out;
}

std::u16string Utf8ToWide(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  size_t i = 0;
  while (i < bytes.size()) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    size_t extra;
    uint32_t value;
    uint32_t minimum;
    if (lead < 0x80) {
      out.push_back(lead);
      ++i;
      continue;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      extra = 1, value = lead & 0x1F, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      extra = 2, value = lead & 0x0F, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      extra = 3, value = lead & 0x07, minimum = 0x10000;
    } else {
      return {};
    }
    if (bytes.size() - i - 1 < extra) return {};
    for (size_t k = 1; k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(bytes[i + k]);
      if ((next & 0xC0) != 0x80) return {};
      value = (value << 6) | (next & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return {};
    if (value >= 0x10000) {
      value -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (value >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (value & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(value));
    }
    i += extra + 1;
  }
  return out;
}

std::u16string WindowsFailureText(std::u16string_view baseText, uint32_t errorCode,
                                  const std::optional<std::u16string>& systemText) {
  const uint32_t code = ReportedErrorCode(errorCode);
  std::u16string text(baseText);
  text += u"（Windows 错误 ";
  text += DecimalText(code);
  text += u"）";
  if (systemText) {
    text += u"：";
    text += *systemText;
  }
  text += HintLine(code);
  return RedactCredentials(text);
}

}  // namespace vaq
