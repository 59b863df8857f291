#include "tools/common/file_bytes_win.h"

#include <windows.h>

#include "base/handles_win.h"

namespace vaq::tools {

std::string ReadBinaryFile(const std::wstring& path) {
  const UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return {};
  std::string bytes;
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(file.Get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) {
    bytes.append(buffer, read);
  }
  return bytes;
}

bool WriteBinaryFile(const std::wstring& path, const std::string& bytes) {
  const UniqueFile file(
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  return file && (bytes.empty() || (WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                                              nullptr) &&
                                    written == bytes.size()));
}

}  // namespace vaq::tools
