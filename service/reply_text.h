#pragma once
// The text shown for a service reply whose status is not 200.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vaq {

// A body that is a JSON object whose first member is "error" with a string value supplies the
// message; otherwise a fixed text chosen by the status. Always followed by "（HTTP status）".
std::u16string ServiceReplyText(uint32_t status, std::u16string_view bodyText);

// Reads one JSON string token at position (which must hold the opening quote), decoding its
// escapes; on success position stands after the closing quote.
bool ScanJsonString(std::u16string_view text, size_t& position, std::u16string& out);

}  // namespace vaq
