#include "ui/page.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace vaq {
namespace {

TEST(ProgressBar, SegmentSweepsAt96) {
  const PageLayout l = ComputePageLayout(496, 328, 96, false);
  const struct {
    int32_t frame;
    float left;
  } cases[] = {{0, 201.0f}, {18, 362.0f}, {36, 201.0f}, {54, 40.0f}, {71, 186.97f}};
  for (const auto& c : cases) {
    const ProgressGeometry g = ProgressBarGeometry(l, c.frame);
    EXPECT_NEAR(g.segmentLeft, c.left, 0.005f) << c.frame;
    EXPECT_EQ(g.segmentLength, 94.0f);
    EXPECT_EQ(g.left, 40.0f);
    EXPECT_EQ(g.right, 456.0f);
    EXPECT_EQ(g.top, 204.0f);
    EXPECT_EQ(g.height, 5.0f);
  }
}

TEST(ProgressBar, DrawsTrackAndSegmentPixels) {
  Surface s;
  ASSERT_TRUE(s.Create(496, 328));
  DrawProgressBar(s, 96, 54);  // segment at the left end, 40..134
  const auto at = [&](int x, int y) { return s.Pixels()[y * 496 + x]; };
  EXPECT_EQ(at(100, 206), 0xFF176E50u);
  EXPECT_EQ(at(300, 206), 0xFFE5F0E8u);
  EXPECT_EQ(at(300, 203), 0u);
  EXPECT_EQ(at(300, 209), 0u);
}

struct Extent {
  int32_t top = 1 << 30, left = 1 << 30, right = -1, bottom = -1;
  uint32_t maxAlpha = 0;
};

Extent Painted(const Surface& s) {
  Extent e;
  for (int32_t y = 0; y < s.Height(); ++y) {
    for (int32_t x = 0; x < s.Width(); ++x) {
      const uint32_t a = s.Pixels()[y * s.Width() + x] >> 24;
      if (a == 0) continue;
      e.top = std::min(e.top, y);
      e.left = std::min(e.left, x);
      e.right = std::max(e.right, x);
      e.bottom = std::max(e.bottom, y);
    }
  }
  return e;
}

TEST(RenderCard, ShadowExtentsAt96) {
  Surface s;
  ASSERT_TRUE(s.Create(496, 328));
  RenderCard(s, ComputePageLayout(496, 328, 96, false));
  // Card 8..488 x 8..320, shadow 2 lower with blur 6: its fall-off reaches 4 rows above, 6
  // columns beside and 8 rows below, where the outermost ring rounds to alpha 0. It never gets
  // more opaque than 36.
  uint32_t maxShadow = 0;
  const Extent e = Painted(s);
  for (int32_t y = 0; y < 328; ++y) {
    for (int32_t x = 0; x < 496; ++x) {
      const bool outsideCard = y < 8 || y >= 320 || x < 8 || x >= 488;
      if (outsideCard) maxShadow = std::max(maxShadow, s.Pixels()[y * 496 + x] >> 24);
    }
  }
  EXPECT_EQ(e.top, 8 - 4 + 1);
  EXPECT_EQ(e.left, 8 - 6 + 1);
  EXPECT_EQ(e.right, 488 + 6 - 2);
  EXPECT_EQ(e.bottom, 320 + 8 - 2);
  EXPECT_LE(maxShadow, 36u);
  EXPECT_GT(maxShadow, 0u);
  EXPECT_EQ(s.Pixels()[100 * 496 + 200], 0xFFFFFFFFu);  // card fill
  EXPECT_EQ(s.Pixels()[100 * 496 + 9] >> 24, 255u);    // border line, inner half
  EXPECT_GT(s.Pixels()[100 * 496 + 8] >> 24, 128u);    // its outer half over the shadow
  EXPECT_LT(s.Pixels()[100 * 496 + 8] >> 24, 255u);
}

TEST(PageTexts, FirstMatchingRow) {
  EXPECT_EQ(PageTitle({SetupState::Finished, false, true}), u"无法识别安装中心");
  EXPECT_EQ(PageSubtitle({SetupState::Finished, false, true}), u"请重新下载安装包，保留文件的原始名称。");
  EXPECT_EQ(PageTitle({SetupState::EnterCode, false, false}), u"输入安装授权码");
  EXPECT_TRUE(PageSubtitle({SetupState::EnterCode, false, true}).empty());
  EXPECT_EQ(PageTitle({SetupState::Finished, true, false}), u"VAQ 客户端安装成功");
  EXPECT_EQ(PageTitle({SetupState::Finished, false, false}), u"VAQ 客户端安装失败");
  EXPECT_EQ(PageSubtitle({SetupState::Installing, false, false}), u"正在安全下载并配置服务，请保持网络连接。");
}

TEST(CodePage, HintAndServiceLineAt96) {
  const PageLayout l = ComputePageLayout(496, 364, 96, false);
  EXPECT_EQ(ServiceLineRect(l), (Rect{40, 144, 456, 168}));
  EXPECT_EQ(CodeHintRect(l), (Rect{40, 239, 456, 276}));
  EXPECT_EQ(ErrorPanelRect(ComputePageLayout(576, 476, 96, true)), (Rect{30, 174, 546, 378}));
}

// What a screen reader is told comes from the texts the page draws.
TEST(SpokenPage, DescriptionIsTheLinesUnderTheTitle) {
  const std::u16string service = u"安装中心  https://localhost";
  const struct {
    PageKind page;
    std::u16string description;
  } cases[] = {
      {{SetupState::EnterCode, false, false}, service + u"\r\n输入或粘贴 4 位授权码后自动验证。"},
      {{SetupState::Confirm, false, false}, u"请确认在此设备上安装，倒计时结束后将自动继续。"},
      {{SetupState::Installing, false, false}, u"正在安全下载并配置服务，请保持网络连接。"},
      {{SetupState::Finished, true, false}, u"设备已完成配置，此窗口将在倒计时结束后关闭。"},
      {{SetupState::Finished, false, false}, u"可复制下方错误信息，交由管理员排查。"},
      {{SetupState::Finished, false, true}, u"请重新下载安装包，保留文件的原始名称。"},
  };
  SetupContext context;
  for (const auto& c : cases) {
    EXPECT_EQ(PageDescription(c.page, context), c.description) << int(c.page.state);
  }
}

TEST(SpokenPage, CodeHintFollowsVerificationAndFailure) {
  SetupContext context;
  const PageKind code{SetupState::EnterCode, false, false};
  const std::u16string service = u"安装中心  https://localhost\r\n";
  context.authorizeRequest.failureText = u"安装授权码无效。";
  EXPECT_EQ(CodeHintOf(context).text, u"安装授权码无效。");
  EXPECT_TRUE(CodeHintOf(context).failure);
  EXPECT_EQ(PageDescription(code, context), service + u"安装授权码无效。");
  // A running verification hides the failure line.
  int thread = 0;
  context.authorizeThread = &thread;
  EXPECT_EQ(CodeHintOf(context).text, u"正在验证安装授权码…");
  EXPECT_FALSE(CodeHintOf(context).failure);
  EXPECT_EQ(PageDescription(code, context), service + u"正在验证安装授权码…");
}

TEST(SpokenPage, BusyWhileVerifyingOrInstalling) {
  SetupContext context;
  int thread = 0;
  const struct {
    SetupState state;
    void* authorizeThread;
    bool busy;
  } cases[] = {{SetupState::EnterCode, nullptr, false}, {SetupState::EnterCode, &thread, true},
               {SetupState::Confirm, nullptr, false},   {SetupState::Installing, nullptr, true},
               {SetupState::Finished, nullptr, false}};
  for (const auto& c : cases) {
    context.state = c.state;
    context.authorizeThread = c.authorizeThread;
    EXPECT_EQ(PageBusy(context), c.busy) << int(c.state);
  }
}

TEST(SpokenPage, CodeBoxesAreNamedByPosition) {
  EXPECT_EQ(CodeBoxName(0), u"授权码第 1 位");
  EXPECT_EQ(CodeBoxName(3), u"授权码第 4 位");
}

}  // namespace
}  // namespace vaq
