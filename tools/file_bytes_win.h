#pragma once
// Development help: a whole file's bytes, as the tests and tools read certificates.
#include <string>

namespace vaq::tools {

// The whole file, or empty when it cannot be read.
std::string ReadBinaryFile(const std::wstring& path);

}  // namespace vaq::tools
