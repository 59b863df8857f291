#include "app/setup_context.h"
#include "install/failure_text.h"

namespace vaq {

void SetWindowsFailure(SetupContext& context, std::u16string_view baseText, uint32_t errorCode) {
  const uint32_t code = ReportedErrorCode(errorCode);
  context.failureText = WindowsFailureText(baseText, code, SystemMessageText(code));
}

}  // namespace vaq
