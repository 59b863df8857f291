// The presentation's Win32 layer with real GDI, user32 and a real layered window under Wine.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>

#include "app/setup_states.h"
#include "app/setup_window_win.h"
#include "base/failure_text.h"
#include "base/wide_win.h"
#include "tests/win/system_folder_win.h"
#include "tests/win/ui_stage_win.h"
#include "ui/button_win.h"
#include "ui/frame_win.h"
#include "ui/layout.h"
#include "ui/layout_win.h"
#include "ui/page.h"
#include "ui/page_win.h"
#include "ui/surface_win.h"
#include "ui/text_win.h"

namespace vaq {
namespace {

uint32_t Opaque(uint32_t rrggbb) { return 0xFF000000u | rrggbb; }

uint32_t FramePixel(int x, int y) {
  const Surface& frame = FrameLayer();
  return frame.Pixels()[y * frame.Width() + x];
}

TEST(DrawTextAlpha, ClippedRectangleDrawsWhereAnUnclippedOneWould) {
  ASSERT_TRUE(ApplyDpiLayout(96, nullptr, nullptr));
  const HFONT font = CurrentFonts().title;
  const UINT format = DT_SINGLELINE | DT_NOPREFIX;
  Surface whole;
  ASSERT_TRUE(whole.Create(240, 60));
  ASSERT_TRUE(DrawTextAlpha(whole, u"VAQ 客户端", font, 10, 10, 230, 50, 0x000000, format, 255));
  const int dx = 25;
  const int dy = 14;
  Surface clipped;
  ASSERT_TRUE(clipped.Create(240, 60));
  ASSERT_TRUE(DrawTextAlpha(clipped, u"VAQ 客户端", font, 10 - dx, 10 - dy, 230 - dx, 50 - dy, 0x000000, format, 255));
  int inked = 0;
  for (int y = 0; y < 60 - dy; ++y) {
    for (int x = 0; x < 240 - dx; ++x) {
      const uint32_t expected = whole.Pixels()[(y + dy) * 240 + x + dx];
      ASSERT_EQ(clipped.Pixels()[y * 240 + x], expected) << x << "," << y;
      inked += expected != 0;
    }
  }
  EXPECT_GT(inked, 50);
  Surface untouched;
  ASSERT_TRUE(untouched.Create(40, 40));
  EXPECT_TRUE(DrawTextAlpha(untouched, u"VAQ", font, -50, 0, 0, 40, 0x000000, format, 255));
  EXPECT_TRUE(std::all_of(untouched.Pixels(), untouched.Pixels() + 1600, [](uint32_t p) { return p == 0; }));
}

class FrameTest : public testing::Test {
 protected:
  test::Stage stage;

  void ShowConfirm(int dpi) {
    test::StagePage page;
    page.state = SetupState::Confirm;
    page.primaryCaption = u"继续（3 秒）";
    ASSERT_TRUE(stage.Show(page, dpi));
  }
  POINT Origin() {
    RECT r;
    GetWindowRect(stage.Window(), &r);
    return {r.left, r.top};
  }
  LRESULT HitAt(int x, int y) {
    const POINT o = Origin();
    return HitTest(stage.Window(), 0, MAKELPARAM(o.x + x, o.y + y));
  }
};

TEST_F(FrameTest, PrintClientGivesThePresentedPremultipliedPicture) {
  ShowConfirm(96);
  Surface printed;
  ASSERT_TRUE(stage.Print(printed));
  const Surface& frame = FrameLayer();
  ASSERT_EQ(printed.Width(), 496);
  ASSERT_EQ(printed.Height(), 328);
  ASSERT_EQ(frame.Width(), 496);
  EXPECT_TRUE(std::equal(printed.Pixels(), printed.Pixels() + 496 * 328, frame.Pixels()));
  for (int i = 0; i < 496 * 328; ++i) {
    const uint32_t p = printed.Pixels()[i];
    const uint32_t a = p >> 24;
    ASSERT_LE(std::max({p & 0xFF, (p >> 8) & 0xFF, (p >> 16) & 0xFF}), a) << i;
  }
  EXPECT_EQ(printed.Pixels()[0], 0u);                       // transparent corner
  EXPECT_EQ(printed.Pixels()[200 * 496 + 100], 0xFFFFFFFFu);  // card
  EXPECT_TRUE(PresentLayered(frame, stage.Window(), 255));
}

TEST_F(FrameTest, PageIsRenderedAgainOnlyWhenAKeyChanges) {
  test::StagePage page;
  page.state = SetupState::Installing;
  ASSERT_TRUE(stage.Show(page, 96));
  ComposeFrame(stage.Window(), nullptr);
  const unsigned renders = PageRenderCount();
  const uint32_t segmentAt201 = FramePixel(220, 206);

  g_setup.spinnerFrame = 54;  // the segment moves to the left end
  ComposeFrame(stage.Window(), nullptr);
  EXPECT_EQ(PageRenderCount(), renders);
  EXPECT_EQ(segmentAt201, Opaque(0x176E50));
  EXPECT_EQ(FramePixel(220, 206), Opaque(0xE5F0E8));
  EXPECT_EQ(FramePixel(60, 206), Opaque(0x176E50));

  g_setup.startFailure = true;
  ComposeFrame(stage.Window(), nullptr);
  EXPECT_EQ(PageRenderCount(), renders + 1);
  SetOutcome(stage.Window(), true);
  ComposeFrame(stage.Window(), nullptr);
  EXPECT_EQ(PageRenderCount(), renders + 2);
  g_setup.layoutDpi = 97;  // same size, other DPI
  ComposeFrame(stage.Window(), nullptr);
  EXPECT_EQ(PageRenderCount(), renders + 3);
  SetWindowPos(stage.Window(), nullptr, 0, 0, 500, 330, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  ComposeFrame(stage.Window(), nullptr);
  EXPECT_EQ(PageRenderCount(), renders + 4);
  ComposeFrame(stage.Window(), nullptr);
  EXPECT_EQ(PageRenderCount(), renders + 4);
}

TEST_F(FrameTest, ButtonVariantsReadBackFromTheFrame) {
  ShowConfirm(96);
  const HWND primary = static_cast<HWND>(g_setup.primaryButton);
  const HWND cancel = static_cast<HWND>(g_setup.cancelButton);
  SetFocus(stage.Window());
  // Fill pixels: 3 in from the left edge at mid-height; the ring (when focused) at 4.
  const auto primaryFill = [] { return FramePixel(296 + 3, 266); };
  const auto cancelFill = [] { return FramePixel(152 + 3, 266); };
  const struct {
    const char* what;
    std::function<void()> change;
    std::function<uint32_t()> read;
    uint32_t expected;
  } cases[] = {
      {"primary idle", [] {}, primaryFill, 0x176E50},
      {"primary hot", [&] { g_setup.hotControl = primary; }, primaryFill, 0x1B7C59},
      {"primary pressed and hot", [&] { SendMessageW(primary, BM_SETSTATE, TRUE, 0); }, primaryFill, 0x104F39},
      {"primary disabled", [&] { EnableWindow(primary, FALSE); }, primaryFill, 0xE9EFEA},
      {"secondary idle", [] {}, cancelFill, 0xFFFFFF},
      {"secondary hot", [&] { g_setup.hotControl = cancel; }, cancelFill, 0xF3F8F4},
      {"secondary pressed", [&] { SendMessageW(cancel, BM_SETSTATE, TRUE, 0); }, cancelFill, 0xE7F1EA},
      {"secondary focus ring", [&] { SetFocus(cancel); }, [] { return FramePixel(152 + 4, 266); }, 0x7CAA8F},
      {"secondary disabled", [&] { EnableWindow(cancel, FALSE); }, cancelFill, 0xE9EFEA},
      {"primary focus ring", [&] {
         EnableWindow(primary, TRUE);
         SendMessageW(primary, BM_SETSTATE, FALSE, 0);
         SetFocus(primary);
       }, [] { return FramePixel(296 + 4, 266); }, 0xACD8BC},
  };
  for (const auto& c : cases) {
    c.change();
    ComposeFrame(stage.Window(), nullptr);
    EXPECT_EQ(c.read(), Opaque(c.expected)) << c.what;
  }
  // The white caption of the primary button.
  int white = 0;
  for (int y = 244; y < 288; ++y) {
    for (int x = 296 + 8; x < 456 - 8; ++x) white += FramePixel(x, y) == 0xFFFFFFFFu;
  }
  EXPECT_GT(white, 20);
}

TEST_F(FrameTest, HitTestShadowDragBandAndClientArea) {
  ShowConfirm(96);
  EXPECT_EQ(HitAt(4, 100), HTTRANSPARENT);    // shadow beside the card
  EXPECT_EQ(HitAt(200, 325), HTTRANSPARENT);  // shadow below the card
  EXPECT_EQ(HitAt(0, 0), HTTRANSPARENT);
  EXPECT_EQ(HitAt(200, 8), HTCAPTION);
  EXPECT_EQ(HitAt(200, 81), HTCAPTION);
  EXPECT_EQ(HitAt(200, 82), HTCLIENT);
  EXPECT_EQ(HitAt(200, 200), HTCLIENT);
  EXPECT_EQ(HitAt(-3, 20), HTNOWHERE);  // outside the frame: the default answer
}

TEST_F(FrameTest, LayoutPlacesWindowAndChildrenAt144) {
  ShowConfirm(144);
  EXPECT_EQ(g_setup.layoutDpi, 144);
  RECT window;
  GetWindowRect(stage.Window(), &window);
  EXPECT_EQ(window.right - window.left, 744);
  EXPECT_EQ(window.bottom - window.top, 492);
  RECT primary;
  GetWindowRect(static_cast<HWND>(g_setup.primaryButton), &primary);
  MapWindowPoints(nullptr, stage.Window(), reinterpret_cast<POINT*>(&primary), 2);
  EXPECT_EQ(primary.left, 444);
  EXPECT_EQ(primary.top, 366);
  EXPECT_EQ(primary.right, 684);
  EXPECT_EQ(primary.bottom, 432);
  EXPECT_EQ(SendMessageW(static_cast<HWND>(g_setup.primaryButton), WM_GETFONT, 0, 0),
            reinterpret_cast<LRESULT>(CurrentFonts().button));
  // The first box's edit control sits where the code page draws the box.
  test::StagePage code;
  code.state = SetupState::EnterCode;
  ASSERT_TRUE(stage.Show(code, 144));
  RECT box;
  GetWindowRect(static_cast<HWND>(g_setup.digitBoxes[1]), &box);
  MapWindowPoints(nullptr, stage.Window(), reinterpret_cast<POINT*>(&box), 2);
  EXPECT_EQ(box.left, 159);
  EXPECT_EQ(box.top, 263);
  RECT cancel;
  GetWindowRect(static_cast<HWND>(g_setup.cancelButton), &cancel);
  MapWindowPoints(nullptr, stage.Window(), reinterpret_cast<POINT*>(&cancel), 2);
  EXPECT_EQ(cancel.right, 684);  // in the primary button's place
}

TEST_F(FrameTest, CodeBoxesFollowFocusFillingAndFailure) {
  test::StagePage page;
  page.state = SetupState::EnterCode;
  page.digitsTyped = 2;
  page.focusedDigit = 2;
  ASSERT_TRUE(stage.Show(page, 96));
  ComposeFrame(stage.Window(), nullptr);
  // Box i spans x 40 + 66 i .. +52, y 175..227; its border at the left edge, mid-height.
  EXPECT_EQ(FramePixel(40, 201), Opaque(0xD8E5DC));
  EXPECT_EQ(FramePixel(172 + 1, 201), Opaque(0x176E50));  // 2-pixel border of the focused box
  EXPECT_EQ(FramePixel(238 + 1, 201), Opaque(0xF9FBFA));  // 1-pixel border elsewhere
  const auto inked = [](int box) {
    int n = 0;
    for (int y = 180; y < 222; ++y) {
      for (int x = 40 + 66 * box + 6; x < 40 + 66 * box + 46; ++x) n += FramePixel(x, y) != Opaque(0xF9FBFA);
    }
    return n;
  };
  EXPECT_GT(inked(0), 10);  // a bullet
  EXPECT_EQ(inked(3), 0);
  g_setup.authorizeRequest.failureText = u"安装授权码无效（HTTP 403）";
  ComposeFrame(stage.Window(), nullptr);
  EXPECT_EQ(FramePixel(40, 201), Opaque(0xAA4032));
  EXPECT_EQ(FramePixel(172 + 1, 201), Opaque(0xAA4032));
}


TEST_F(FrameTest, ErrorBoxIsCapturedOpaqueAndHiddenControlsAreNotDrawn) {
  test::StagePage failure;
  failure.state = SetupState::Finished;
  failure.primaryCaption = u"关闭";
  failure.failureText = u"下载安装脚本失败（Windows 错误 12029）";
  ASSERT_TRUE(stage.Show(failure, 96));
  // Error box 40..536 x 182..370 over the panel 30..546 x 174..378.
  EXPECT_EQ(FramePixel(500, 350), Opaque(0xF3F7F4));
  EXPECT_EQ(FramePixel(34, 300), Opaque(0xF3F7F4));
  int ink = 0;
  for (int y = 182; y < 210; ++y) {
    for (int x = 40; x < 300; ++x) ink += FramePixel(x, y) != Opaque(0xF3F7F4);
  }
  EXPECT_GT(ink, 30);  // the text the control drew of itself
  EXPECT_EQ(FramePixel(40 + 3, 414), Opaque(0xFFFFFF));  // copy button fill

  ShowConfirm(96);  // copy button and error box hidden: the card shows where they were
  int notCard = 0;
  for (int y = 182; y < 240; ++y) {
    for (int x = 40; x < 456; ++x) notCard += FramePixel(x, y) != 0xFFFFFFFFu;
  }
  EXPECT_EQ(notCard, 0);
}


TEST_F(FrameTest, RepeatedLayoutReplacesFontsAfterChildrenHoldTheNewOnes) {
  ShowConfirm(96);
  const SetupFonts before = CurrentFonts();
  ASSERT_TRUE(ApplyDpiLayout(96, stage.Window(), nullptr));
  const SetupFonts after = CurrentFonts();
  EXPECT_NE(after.title, before.title);
  EXPECT_NE(after.button, before.button);
  EXPECT_EQ(GetObjectType(before.button), 0u);  // the old fonts are gone
  EXPECT_EQ(GetObjectType(after.button), DWORD(OBJ_FONT));
  EXPECT_EQ(SendMessageW(static_cast<HWND>(g_setup.cancelButton), WM_GETFONT, 0, 0),
            reinterpret_cast<LRESULT>(after.button));
  EXPECT_EQ(SendMessageW(static_cast<HWND>(g_setup.errorEdit), WM_GETFONT, 0, 0),
            reinterpret_cast<LRESULT>(after.body));
  LOGFONTW title = {};
  ASSERT_NE(GetObjectW(after.title, sizeof(title), &title), 0);
  EXPECT_EQ(title.lfHeight, -24);
  EXPECT_EQ(title.lfWeight, 600);
  EXPECT_EQ(title.lfQuality, ANTIALIASED_QUALITY);
  EXPECT_STREQ(title.lfFaceName, L"Microsoft YaHei UI");
}

TEST_F(FrameTest, ReferenceOutsideTheWorkAreaPullsTheWindowBack) {
  ShowConfirm(96);
  MONITORINFO info = {};
  info.cbSize = sizeof(info);
  ASSERT_TRUE(GetMonitorInfoW(MonitorFromWindow(stage.Window(), MONITOR_DEFAULTTONEAREST), &info));
  const RECT& work = info.rcWork;
  const RECT suggested = {work.right - 100, work.bottom - 50, work.right + 900, work.bottom + 950};
  ASSERT_TRUE(ApplyDpiLayout(144, stage.Window(), &suggested));
  RECT placed;
  GetWindowRect(stage.Window(), &placed);
  EXPECT_EQ(placed.right, work.right);
  EXPECT_EQ(placed.bottom, work.bottom);
  EXPECT_EQ(placed.right - placed.left, 744);  // the suggested size is not used
}


TEST_F(FrameTest, DpiChangeTakesTheSuggestedRectangleReplacesFontsAndRendersAgain) {
  ShowConfirm(96);
  MONITORINFO info = {};
  info.cbSize = sizeof(info);
  ASSERT_TRUE(GetMonitorInfoW(MonitorFromWindow(stage.Window(), MONITOR_DEFAULTTONEAREST), &info));
  const RECT suggested = {info.rcWork.left + 30, info.rcWork.top + 20, info.rcWork.left + 30 + 744,
                          info.rcWork.top + 20 + 492};
  const SetupFonts before = CurrentFonts();
  const unsigned renders = PageRenderCount();

  // The DPI is the low word; the high word differs to show that it is not the one read.
  EXPECT_EQ(SendMessageW(stage.Window(), WM_DPICHANGED, MAKEWPARAM(144, 120), reinterpret_cast<LPARAM>(&suggested)), 0);
  RECT placed;
  GetWindowRect(stage.Window(), &placed);
  EXPECT_TRUE(EqualRect(&placed, &suggested));
  EXPECT_EQ(g_setup.layoutDpi, 144);
  const SetupFonts after = CurrentFonts();
  EXPECT_EQ(GetObjectType(before.body), 0u);  // the old fonts are gone
  EXPECT_EQ(SendMessageW(static_cast<HWND>(g_setup.cancelButton), WM_GETFONT, 0, 0),
            reinterpret_cast<LRESULT>(after.button));
  LOGFONTW title = {};
  ASSERT_NE(GetObjectW(after.title, sizeof(title), &title), 0);
  EXPECT_EQ(title.lfHeight, -36);

  UpdateWindow(stage.Window());
  EXPECT_EQ(PageRenderCount(), renders + 1);
  EXPECT_EQ(FrameLayer().Width(), 744);
  EXPECT_EQ(FrameLayer().Height(), 492);
}

TEST_F(FrameTest, SettingOrDisplayChangeLaysOutAgainOnlyAtAnotherDpi) {
  for (const UINT message : {UINT(WM_SETTINGCHANGE), UINT(WM_DISPLAYCHANGE)}) {
    ShowConfirm(144);
    const int windowDpi = GetWindowDpi(stage.Window());
    ASSERT_NE(windowDpi, 144) << "the test needs a screen that is not at 144 DPI";
    EXPECT_EQ(SendMessageW(stage.Window(), message, 0, 0), 0);
    EXPECT_EQ(g_setup.layoutDpi, windowDpi);
    const HFONT laidOut = CurrentFonts().title;
    SendMessageW(stage.Window(), message, 0, 0);
    EXPECT_EQ(CurrentFonts().title, laidOut) << "the same DPI makes no new fonts";
  }
}

TEST_F(FrameTest, OnlyTheErrorBoxGetsThePanelColours) {
  ShowConfirm(96);
  const HDC dc = GetDC(stage.Window());
  ASSERT_NE(dc, nullptr);
  for (const UINT message : {UINT(WM_CTLCOLORSTATIC), UINT(WM_CTLCOLOREDIT)}) {
    SetTextColor(dc, RGB(1, 2, 3));
    EXPECT_EQ(SendMessageW(stage.Window(), message, reinterpret_cast<WPARAM>(dc),
                           reinterpret_cast<LPARAM>(g_setup.errorEdit)),
              reinterpret_cast<LRESULT>(g_setup.editBrush));
    EXPECT_EQ(GetTextColor(dc), palette::kInk);
    EXPECT_EQ(GetBkColor(dc), palette::kPanel);
    EXPECT_NE(SendMessageW(stage.Window(), message, reinterpret_cast<WPARAM>(dc),
                           reinterpret_cast<LPARAM>(g_setup.cancelButton)),
              reinterpret_cast<LRESULT>(g_setup.editBrush));
  }
  ReleaseDC(stage.Window(), dc);
}

TEST_F(FrameTest, FailurePageHandsTheErrorBoxEveryBreakAsCrLf) {
  const struct {
    const char* name;
    std::u16string failureText;
    std::u16string_view shown;
  } cases[] = {
      {"hint line", WindowsFailureText(u"下载失败", 12029, std::nullopt),
       u"下载失败（Windows 错误 12029）\r\n请检查网络、代理和安装服务的 HTTPS 连接。"},
      {"script error with LF", RedactCredentials(Utf8ToWide("第一行\n第二行\n")), u"第一行\r\n第二行\r\n"},
      {"script error with CR LF", RedactCredentials(Utf8ToWide("第一行\r\n第二行\r\n")), u"第一行\r\n第二行\r\n"},
  };
  for (const auto& c : cases) {
    test::StagePage page;
    page.state = SetupState::Installing;
    ASSERT_TRUE(stage.Show(page, 96));
    g_setup.failureText = c.failureText;
    WindowControls controls(stage.Window());
    OnInstallDone(g_setup, controls, false);
    wchar_t text[256] = {};
    const LRESULT length = SendMessageW(static_cast<HWND>(g_setup.errorEdit), WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text));
    EXPECT_EQ(AsU16View(text, size_t(length)), c.shown) << c.name;
    EXPECT_EQ(g_setup.failureText, c.failureText) << c.name;
    // The box itself breaks its lines there: one more line than CR LFs.
    const LRESULT lines = SendMessageW(static_cast<HWND>(g_setup.errorEdit), EM_GETLINECOUNT, 0, 0);
    size_t breaks = 0;
    for (size_t at = c.shown.find(u"\r\n"); at != std::u16string_view::npos; at = c.shown.find(u"\r\n", at + 2)) ++breaks;
    EXPECT_EQ(size_t(lines), breaks + 1) << c.name;
    if (c.name == std::string_view("hint line")) RecordProperty("error_box_lines", int(lines));
  }
}


TEST(Dpi, QueriesAgreeAndStayInRange) {
  const HMONITOR primary = MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY);
  const int monitorDpi = GetMonitorDpi(primary);
  EXPECT_GE(monitorDpi, 48);
  EXPECT_LE(monitorDpi, 768);
  const HWND desktop = GetDesktopWindow();
  EXPECT_EQ(GetWindowDpi(desktop), monitorDpi);
  // shcore comes from the system folder, never from beside the program.
  const HMODULE shcore = GetModuleHandleW(L"shcore.dll");
  if (shcore != nullptr) {
    EXPECT_TRUE(test::FromSystemFolder(shcore)) << test::FolderOf(shcore);
  }
}


TEST_F(FrameTest, DrawItemRequestAndNarrowRectangle) {
  ShowConfirm(96);
  const HWND primary = static_cast<HWND>(g_setup.primaryButton);
  SetFocus(stage.Window());
  Surface target;
  ASSERT_TRUE(target.Create(170, 50));
  DRAWITEMSTRUCT item = {};
  item.CtlType = ODT_BUTTON;
  item.hwndItem = primary;
  item.hDC = SurfaceDc(target);
  item.rcItem = {2, 3, 162, 47};
  item.itemState = ODS_SELECTED | ODS_FOCUS;
  EXPECT_EQ(DrawButtonItem(item), TRUE);
  target.Flush();
  const auto at = [&](int x, int y) { return target.Pixels()[y * 170 + x]; };
  EXPECT_EQ(at(1, 25), 0u);                       // outside the item rectangle
  EXPECT_EQ(at(2, 3), 0xFFFFFFFFu);               // white corner of the button picture
  EXPECT_EQ(at(2 + 3, 25), Opaque(0x104F39));     // pressed fill
  EXPECT_EQ(at(2 + 4, 25), Opaque(0xACD8BC));     // focus ring

  target.Clear();
  PaintButton(primary, SurfaceDc(target), RECT{7, 0, 7, 44}, 0);
  target.Flush();
  EXPECT_EQ(at(7, 20) >> 24, 255u);
  EXPECT_EQ(at(8, 20), 0u);
  EXPECT_EQ(at(6, 20), 0u);
}

}  // namespace
}  // namespace vaq
