#pragma once
// Failure texts shown to the user: composition with a Windows error code, redaction of
// anything that looks like a credential, and strict decoding of outside UTF-8.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vaq {

struct SetupContext;

constexpr std::u16string_view kCredentialMarker = u"[已隐藏凭证]";

// Hides every run of 32 or more hex digits, drops control characters other than TAB and LF,
// and stops once more than 999 units were written (so at most 1006 units come out).
std::u16string RedactCredentials(std::u16string_view text);

// UTF-8 to UTF-16, all or nothing: invalid input (overlong forms, surrogates, values above
// U+10FFFF, a sequence cut off at the end) gives an empty result.
std::u16string Utf8ToWide(std::string_view bytes);

// base + "（Windows 错误 " + code + "）" [+ "：" + system text] [+ hint line], redacted.
// An error code of 0 is reported as 31.
std::u16string WindowsFailureText(std::u16string_view baseText, uint32_t errorCode,
                                  const std::optional<std::u16string>& systemText);

// The system's own message for an error code, if it has one. The Windows build asks
// FormatMessageW; host tests provide their own table.
std::optional<std::u16string> SystemMessageText(uint32_t code);

// Replaces context.failureText with the composed text for a failed system call.
void SetWindowsFailure(SetupContext& context, std::u16string_view baseText, uint32_t errorCode);

// The code SetWindowsFailure reports for errorCode (0 becomes ERROR_GEN_FAILURE).
constexpr uint32_t ReportedErrorCode(uint32_t errorCode) { return errorCode == 0 ? 31 : errorCode; }

}  // namespace vaq
