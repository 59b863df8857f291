// Writes a picture of every page at 96, 144 and 192 DPI, as the setup window composes it, into
// the folder given as the first argument (a Windows path). The premultiplied frame is laid over
// a neutral desktop colour so that the shadow shows.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/win/ui_stage_win.h"

namespace {

using vaq::SetupState;
using vaq::test::StagePage;

constexpr uint32_t kDesktop = 0xD5DBD8;

bool WriteBmp(const std::string& path, const vaq::Surface& frame) {
  const int width = frame.Width();
  const int height = frame.Height();
  const int stride = (width * 3 + 3) & ~3;
  BITMAPFILEHEADER file = {};
  BITMAPINFOHEADER info = {};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof(file) + sizeof(info);
  file.bfSize = file.bfOffBits + DWORD(stride) * DWORD(height);
  info.biSize = sizeof(info);
  info.biWidth = width;
  info.biHeight = height;  // bottom-up rows
  info.biPlanes = 1;
  info.biBitCount = 24;
  std::vector<unsigned char> rows(size_t(stride) * size_t(height));
  for (int y = 0; y < height; ++y) {
    unsigned char* out = rows.data() + size_t(height - 1 - y) * size_t(stride);
    for (int x = 0; x < width; ++x) {
      const uint32_t p = frame.Pixels()[y * width + x];
      const uint32_t k = 255 - (p >> 24);
      for (int c = 0; c < 3; ++c) {
        const uint32_t source = (p >> (8 * c)) & 0xFF;
        const uint32_t back = (kDesktop >> (8 * c)) & 0xFF;
        out[x * 3 + c] = static_cast<unsigned char>(source + (back * k + 127) / 255);
      }
    }
  }
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(&file, sizeof(file), 1, f) == 1 && std::fwrite(&info, sizeof(info), 1, f) == 1 &&
                  std::fwrite(rows.data(), rows.size(), 1, f) == 1;
  return std::fclose(f) == 0 && ok;
}

struct NamedPage {
  const char* name;
  StagePage page;
};

std::vector<NamedPage> Pages() {
  std::vector<NamedPage> pages;
  StagePage code;
  code.state = SetupState::EnterCode;
  pages.push_back({"1-entercode-idle", code});
  code.digitsTyped = 2;
  code.focusedDigit = 2;
  pages.push_back({"2-entercode-focused", code});
  code.digitsTyped = 4;
  code.focusedDigit = -1;
  code.verifying = true;
  pages.push_back({"3-entercode-verifying", code});
  code.verifying = false;
  code.focusedDigit = 0;
  code.digitsTyped = 0;
  code.authorizeFailure = u"安装授权码无效或已过期，请向管理员重新获取。（HTTP 403）";
  pages.push_back({"4-entercode-failed", code});

  StagePage confirm;
  confirm.state = SetupState::Confirm;
  confirm.primaryCaption = u"继续（3 秒）";
  pages.push_back({"5-confirm", confirm});
  StagePage installing;
  installing.state = SetupState::Installing;
  installing.spinnerFrame = 10;
  pages.push_back({"6-installing", installing});
  StagePage success;
  success.state = SetupState::Finished;
  success.succeeded = true;
  success.primaryCaption = u"关闭（6 秒）";
  pages.push_back({"7-success", success});
  StagePage failure;
  failure.state = SetupState::Finished;
  failure.primaryCaption = u"关闭";
  failure.failureText =
      u"安装脚本执行失败（退出代码 1）。\r\n"
      u"无法连接到资产管理服务 https://assets.example.invalid:8443/api/v2/enroll：远程主机强制关闭了一个现有的连接。"
      u"请确认防火墙允许此设备访问该地址，并检查代理服务器设置后重试。\r\n"
      u"At C:\\ProgramData\\VAQ-Setup-{6F1C2A4B-0D3E-4F5A-9B8C-7D6E5F4A3B2C}\\install.ps1:128 char:5\r\n"
      u"+     Invoke-RestMethod -Uri $enrollUri -Method Post -Body $payload\r\n"
      u"+     ~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~\r\n"
      u"    + CategoryInfo          : InvalidOperation: (System.Net.HttpWebRequest:HttpWebRequest) [Invoke-RestMethod], WebException\r\n"
      u"    + FullyQualifiedErrorId : WebCmdletWebResponseException,Microsoft.PowerShell.Commands.InvokeRestMethodCommand";
  pages.push_back({"8-failure", failure});
  StagePage startFailure;
  startFailure.state = SetupState::Finished;
  startFailure.startFailure = true;
  startFailure.primaryCaption = u"关闭";
  startFailure.failureText = u"无法读取当前安装程序的路径，请重新打开安装文件。";
  pages.push_back({"9-start-failure", startFailure});
  return pages;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: presentation_gallery <output folder>\n");
    return 2;
  }
  const std::string folder = argv[1];
  int failures = 0;
  vaq::test::Stage stage;
  for (const int dpi : {96, 144, 192}) {
    for (const NamedPage& named : Pages()) {
      vaq::Surface picture;
      const bool ok = stage.Show(named.page, dpi) && stage.Print(picture);
      const std::string path = folder + "\\" + named.name + "-" + std::to_string(dpi) + "dpi.bmp";
      if (!ok || !WriteBmp(path, picture)) {
        std::fprintf(stderr, "failed: %s\n", path.c_str());
        ++failures;
        continue;
      }
      std::printf("%s %dx%d layout DPI %d\n", path.c_str(), picture.Width(), picture.Height(),
                  vaq::g_setup.layoutDpi);
    }
  }
  return failures == 0 ? 0 : 1;
}
