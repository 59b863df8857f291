#pragma once
// Scripts for the installation tests that both the PowerShell stand-in and Windows PowerShell
// carry out alike: the stand-in reads the directive comments, PowerShell runs the lines after
// them, starting with the same record of its start (tools/standins/standin_record.ps1).
#include <windows.h>
#include <wincrypt.h>

#include <cstdint>
#include <optional>
#include <string>

#include "tests/win/standin_record_ps1.h"
#include "tools/common/hex_text.h"

namespace vaq::test {

struct StandinScript {
  std::string body;  // PowerShell lines, run after the record
  uint32_t exitCode = 0;
  std::optional<std::string> error;  // bytes for error.txt
  uint32_t sleepMs = 0;
  std::string leave;  // an empty file of this name beside the script

  std::string Text() const {
    std::string directives = Directive("exit", std::to_string(exitCode));
    std::string lines;
    if (!leave.empty()) {
      directives += Directive("leave", leave);
      // $PSScriptRoot is set in scripts only from PowerShell 3.0 on.
      lines += "[IO.File]::WriteAllBytes((Join-Path (Split-Path -Parent $MyInvocation.MyCommand.Path) '" + leave +
               "'), [byte[]]@())\r\n";
    }
    if (error) {
      directives += Directive("error-hex", tools::Hex(*error));
      lines += "[IO.File]::WriteAllBytes($vaqSetupErrorPath, [Convert]::FromBase64String('" + Base64(*error) +
               "'))\r\n";
    }
    if (sleepMs > 0) {
      directives += Directive("sleep-ms", std::to_string(sleepMs));
      lines += "Start-Sleep -Milliseconds " + std::to_string(sleepMs) + "\r\n";
    }
    // PowerShell's exit takes a signed 32-bit number; the process's code is its bits.
    lines += "exit " + std::to_string(static_cast<int32_t>(exitCode)) + "\r\n";
    return directives + kStandinRecordPs1 + body + lines;
  }

 private:
  static std::string Directive(const char* key, const std::string& value) {
    return std::string("# vaq-") + key + ": " + value + "\r\n";
  }

  static std::string Base64(const std::string& bytes) {
    if (bytes.empty()) return {};
    const auto* data = reinterpret_cast<const BYTE*>(bytes.data());
    const DWORD flags = CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF;
    DWORD size = 0;
    if (!CryptBinaryToStringA(data, static_cast<DWORD>(bytes.size()), flags, nullptr, &size)) return {};
    std::string text(size, '\0');
    if (!CryptBinaryToStringA(data, static_cast<DWORD>(bytes.size()), flags, &text[0], &size)) return {};
    text.resize(size);
    return text;
  }
};

}  // namespace vaq::test
