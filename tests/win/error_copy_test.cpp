// CopyFailureText against Wine's real clipboard.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <thread>

#include "app/error_copy_win.h"
#include "base/handles_win.h"
#include "base/setup_context.h"
#include "base/wide_win.h"

namespace vaq {
namespace {

const std::u16string kGrant = u"0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";

struct MessageWindow {
  MessageWindow()
      : handle(CreateWindowExW(0, L"STATIC", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr)) {}
  ~MessageWindow() { DestroyWindow(handle); }
  HWND handle;
};

void PutOnClipboard(HWND owner, const std::u16string& text) {
  const ClipboardSession clipboard(owner);
  ASSERT_TRUE(clipboard);
  ASSERT_TRUE(EmptyClipboard());
  const size_t bytes = (text.size() + 1) * sizeof(char16_t);
  UniqueGlobal block(GlobalAlloc(GMEM_MOVEABLE, bytes));
  ASSERT_TRUE(block);
  std::memcpy(GlobalLock(block.Get()), text.c_str(), bytes);
  GlobalUnlock(block.Get());
  ASSERT_NE(SetClipboardData(CF_UNICODETEXT, block.Get()), nullptr);
  static_cast<void>(block.Take());
}

std::optional<std::u16string> ClipboardText() {
  const ClipboardSession clipboard(nullptr);
  if (!clipboard) return std::nullopt;
  const HANDLE data = GetClipboardData(CF_UNICODETEXT);
  if (data == nullptr) return std::nullopt;
  const auto* text = static_cast<const wchar_t*>(GlobalLock(data));
  if (text == nullptr) return std::nullopt;
  std::u16string copy = AsU16(text);
  GlobalUnlock(data);
  return copy;
}

class ErrorCopy : public ::testing::Test {
 protected:
  MessageWindow window;
  SetupContext context;
};

TEST_F(ErrorCopy, RedactedTextWithLineFeedsOnly) {
  context.failureText = u"脚本失败\r\ngrant=" + kGrant + u"\r\n第三行";
  ASSERT_TRUE(CopyFailureText(context, window.handle));
  EXPECT_EQ(ClipboardText(), u"脚本失败\ngrant=[已隐藏凭证]\n第三行");
}

TEST_F(ErrorCopy, TextLongerThanTheBoundArrivesCut) {
  context.failureText = std::u16string(1200, u'z') + u"（HTTP 500）";
  ASSERT_TRUE(CopyFailureText(context, window.handle));
  EXPECT_EQ(ClipboardText(), std::u16string(1000, u'z'));
}

TEST_F(ErrorCopy, NothingToCopyLeavesTheClipboardAlone) {
  // Empty, and empty once control characters are dropped.
  for (const std::u16string text : {u"", u"\r\r\x07"}) {
    PutOnClipboard(window.handle, u"before");
    context.failureText = text;
    EXPECT_FALSE(CopyFailureText(context, window.handle));
    EXPECT_EQ(ClipboardText(), u"before");
  }
}

TEST_F(ErrorCopy, ClipboardHeldByAnotherWindowFails) {
  PutOnClipboard(window.handle, u"before");
  const UniqueHandleKernel opened(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  const UniqueHandleKernel release(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  std::thread holder([&] {
    MessageWindow other;
    const ClipboardSession clipboard(other.handle);
    EXPECT_TRUE(clipboard);
    SetEvent(opened.Get());
    WaitForSingleObject(release.Get(), INFINITE);
  });
  WaitForSingleObject(opened.Get(), INFINITE);
  context.failureText = u"失败";
  const bool copied = CopyFailureText(context, window.handle);
  SetEvent(release.Get());
  holder.join();
  EXPECT_FALSE(copied);
  EXPECT_EQ(ClipboardText(), u"before");
}

}  // namespace
}  // namespace vaq
