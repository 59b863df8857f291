#pragma once
// Development help: trusting a test CA machine-wide, as the Wine tests and the demo need.
#include <windows.h>

#include <string>

namespace vaq::tools {

// Adds a DER certificate to the machine's trusted roots (replacing an equal one). On false,
// GetLastError tells why.
bool AddToMachineRoot(const std::string& der);

// The whole file, or empty when it cannot be read.
std::string ReadBinaryFile(const std::wstring& path);

}  // namespace vaq::tools
