#include "base/text.h"

#include <gtest/gtest.h>

#include <utility>

namespace vaq {
namespace {

TEST(WithCrLfBreaks, EveryBreakBecomesExactlyOneCrLf) {
  // The text and what the EDIT is given.
  const std::pair<std::u16string_view, std::u16string_view> cases[] = {
      {u"", u""},
      {u"安装失败", u"安装失败"},
      {u"下载失败\n请检查网络。", u"下载失败\r\n请检查网络。"},
      {u"一\r\n二", u"一\r\n二"},
      {u"一\r\r\n二", u"一\r\n二"},
      {u"\n一\n\n二\n", u"\r\n一\r\n\r\n二\r\n"},
      {u"一\r\n\n二", u"一\r\n\r\n二"},
      {u"一\r二\r", u"一\r二\r"},  // a CR alone is no break: left as it is
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(WithCrLfBreaks(text), expected) << testing::PrintToString(std::u16string(text));
  }
}

}  // namespace
}  // namespace vaq
