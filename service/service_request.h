#pragma once
// The one HTTPS request to the installation service, as its callers see it. On false,
// context.failureText holds the text to show; response may hold part of a body and is unused.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "app/setup_context.h"

namespace vaq {

using ServiceRequester =
    std::function<bool(SetupContext& context, std::u16string_view verb, std::u16string_view path,
                       std::u16string_view extraHeaders, const std::string& body,
                       std::string& response, uint32_t limit)>;

}  // namespace vaq
