#include "app/text.h"

#include <gtest/gtest.h>

namespace vaq {
namespace {

TEST(WithCrLfBreaks, EveryBreakBecomesExactlyOneCrLf) {
  const struct {
    std::u16string_view text;
    std::u16string_view expected;
  } cases[] = {
      {u"", u""},
      {u"安装失败", u"安装失败"},
      {u"下载失败\n请检查网络。", u"下载失败\r\n请检查网络。"},
      {u"一\r\n二", u"一\r\n二"},
      {u"一\r\r\n二", u"一\r\n二"},
      {u"\n一\n\n二\n", u"\r\n一\r\n\r\n二\r\n"},
      {u"一\r\n\n二", u"一\r\n\r\n二"},
      {u"一\r二\r", u"一\r二\r"},  // a CR alone is no break: left as it is
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WithCrLfBreaks(c.text), c.expected) << testing::PrintToString(std::u16string(c.text));
  }
}

}  // namespace
}  // namespace vaq
