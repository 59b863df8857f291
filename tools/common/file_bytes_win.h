#pragma once
// Development help: a whole file's bytes, as the tests and tools read and write them.
#include <string>

namespace vaq::tools {

// The whole file, or empty when it cannot be read.
std::string ReadBinaryFile(const std::wstring& path);

// Replaces the file with these bytes; false when it cannot.
bool WriteBinaryFile(const std::wstring& path, const std::string& bytes);

}  // namespace vaq::tools
