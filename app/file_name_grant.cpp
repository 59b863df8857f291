#include "app/file_name_grant.h"

#include "base/text.h"

namespace vaq {
namespace {

constexpr std::u16string_view kPrefix = u"VAQ-Setup-";
constexpr std::u16string_view kExtension = u".exe";
constexpr std::u16string_view kCopyOpen = u" (";
constexpr std::u16string_view kCopyClose = u").exe";
constexpr size_t kMaxCopyNumberDigits = 8;

bool IsCopyNumber(std::u16string_view number) {
  if (number.empty() || number.size() > kMaxCopyNumberDigits) return false;
  for (char16_t c : number) {
    if (!IsDecimalDigit(c)) return false;
  }
  return true;
}

bool IsAcceptedTail(std::u16string_view tail) {
  if (tail == kExtension) return true;
  if (tail.size() < kCopyOpen.size() + 1 + kCopyClose.size()) return false;
  if (tail.substr(0, kCopyOpen.size()) != kCopyOpen) return false;
  if (tail.substr(tail.size() - kCopyClose.size()) != kCopyClose) return false;
  return IsCopyNumber(tail.substr(kCopyOpen.size(), tail.size() - kCopyOpen.size() - kCopyClose.size()));
}

}  // namespace

SecretText ParseInstallerFileName(std::u16string_view path) {
  const size_t separator = path.find_last_of(u"\\/");
  const std::u16string_view name = separator == std::u16string_view::npos ? path : path.substr(separator + 1);
  if (name.size() < kPrefix.size() + kInstallGrantLength + kExtension.size()) return {};
  if (name.substr(0, kPrefix.size()) != kPrefix) return {};
  const std::u16string_view grant = name.substr(kPrefix.size(), kInstallGrantLength);
  if (!IsInstallGrant(grant)) return {};
  if (!IsAcceptedTail(name.substr(kPrefix.size() + kInstallGrantLength))) return {};
  return SecretText(grant);
}

}  // namespace vaq
