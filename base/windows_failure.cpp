#include "base/failure_text.h"
#include "base/setup_context.h"

namespace vaq {

void SetWindowsFailure(SetupContext& context, std::u16string_view baseText, uint32_t errorCode) {
  const uint32_t code = ReportedErrorCode(errorCode);
  context.failureText = WindowsFailureText(baseText, code, SystemMessageText(code));
}

}  // namespace vaq
