// Object and handle counts over long runs of the spinner, of DPI changes on a real layered
// window, and of failed requests to the development service.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "app/setup_states.h"
#include "app/setup_window_win.h"
#include "service/service_request_win.h"
#include "tests/win/dev_service_win.h"
#include "tests/win/ui_stage_win.h"
#include "ui/frame_win.h"
#include "ui/layout_win.h"

namespace vaq {
namespace {

// How many more objects of one kind can still be made: the live count seen from the other side,
// exact on Windows and under Wine, whose GetGuiResources answers nothing. GDI objects are per
// process; USER objects (counted through accelerator tables) are per session.
template <typename Make, typename Destroy>
size_t RoomFor(Make make, Destroy destroy) {
  std::vector<decltype(make())> made;
  for (auto object = make(); object != nullptr; object = make()) made.push_back(object);
  for (auto object : made) destroy(object);
  return made.size();
}

struct ObjectCounts {
  DWORD gdi;
  DWORD user;
  size_t gdiRoom;
  size_t userRoom;
};

ObjectCounts Count() {
  const HANDLE self = GetCurrentProcess();
  ACCEL accelerator = {FVIRTKEY, 'A', 1};
  return ObjectCounts{
      GetGuiResources(self, GR_GDIOBJECTS), GetGuiResources(self, GR_USEROBJECTS),
      RoomFor([] { return CreateSolidBrush(RGB(1, 2, 3)); }, [](HBRUSH b) { DeleteObject(b); }),
      RoomFor([&] { return CreateAcceleratorTableW(&accelerator, 1); }, [](HACCEL a) { DestroyAcceleratorTable(a); })};
}

void ExpectSame(const ObjectCounts& before, const ObjectCounts& after) {
  EXPECT_EQ(after.gdi, before.gdi);
  EXPECT_EQ(after.user, before.user);
  EXPECT_EQ(after.gdiRoom, before.gdiRoom);
  EXPECT_EQ(after.userRoom, before.userRoom);
}

class ResourceHygiene : public testing::Test {
 protected:
  test::Stage stage;

  void SetUp() override {
    test::StagePage page;
    page.state = SetupState::Installing;
    ASSERT_TRUE(stage.Show(page, 96));
  }

  void SpinnerFrame() {
    WindowControls controls(stage.Window());
    OnTimer(g_setup, controls, TIMER_SPINNER);
    UpdateWindow(stage.Window());
  }
};

TEST_F(ResourceHygiene, SpinnerFramesLeaveObjectCountsFlat) {
  SpinnerFrame();
  const ObjectCounts before = Count();
  const unsigned pageRenders = PageRenderCount();
  const int firstFrame = g_setup.spinnerFrame;
  for (int i = 0; i < 500; ++i) SpinnerFrame();
  ExpectSame(before, Count());
  EXPECT_NE(g_setup.spinnerFrame, firstFrame);
  EXPECT_EQ(PageRenderCount(), pageRenders) << "the spinner re-rendered the page";
  EXPECT_GT(before.gdiRoom, 0u);
  EXPECT_GT(before.userRoom, 0u);
}

TEST_F(ResourceHygiene, DpiChangesLeaveObjectCountsFlat) {
  const int dpis[] = {144, 192, 120, 96};
  for (int dpi : dpis) ASSERT_TRUE(ApplyDpiLayout(dpi, stage.Window(), nullptr));
  SpinnerFrame();
  const ObjectCounts before = Count();
  constexpr int kChanges = 50;
  for (int i = 0; i < kChanges; ++i) {
    ASSERT_TRUE(ApplyDpiLayout(dpis[i % 4], stage.Window(), nullptr));
    SpinnerFrame();
  }
  ExpectSame(before, Count());
  EXPECT_EQ(g_setup.layoutDpi, dpis[(kChanges - 1) % 4]);
}

// Open kernel handles, found by asking about every handle value below a bound, since
// GetProcessHandleCount answers 0 under Wine.
size_t OpenHandles() {
  constexpr uintptr_t kProbeEnd = 0x10000;
  size_t open = 0;
  DWORD flags = 0;
  for (uintptr_t value = 4; value < kProbeEnd; value += 4) {
    open += GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags) != FALSE;
  }
  return open;
}

bool FailingAuthorize() {
  SetupContext context;
  SecretBytes response;
  return ServiceRequest(context, u"POST", u"/install/windows/authorize", u"Content-Type: application/json\r\n",
                        "{\"code\":\"4711\"}", response, 4096);
}

class FailedRequestHandles : public dev_service::ServiceTest {};

TEST_F(FailedRequestHandles, RepeatedFailuresLeaveHandleCountFlat) {
  struct Case {
    const char* name;
    std::function<void()> setUp;
  };
  const Case cases[] = {
      {"refused by the server", [] { dev_service::SetReply({{"status", 503}}); }},
      {"untrusted certificate", [] { dev_service::SetReply({{"certificate", "untrusted"}}); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.setUp();
    for (int i = 0; i < 3; ++i) ASSERT_FALSE(FailingAuthorize());
    const size_t before = OpenHandles();
    DWORD countBefore = 0;
    GetProcessHandleCount(GetCurrentProcess(), &countBefore);
    for (int i = 0; i < 40; ++i) ASSERT_FALSE(FailingAuthorize());
    DWORD countAfter = 0;
    GetProcessHandleCount(GetCurrentProcess(), &countAfter);
    EXPECT_EQ(OpenHandles(), before);
    EXPECT_EQ(countAfter, countBefore);
    EXPECT_GT(before, 0u);
  }
}

TEST_F(FailedRequestHandles, RequestsToAClosedPortLeaveHandleCountFlat) {
  const dev_service::ClosedPort closed;
  for (int i = 0; i < 3; ++i) ASSERT_FALSE(FailingAuthorize());
  const size_t before = OpenHandles();
  for (int i = 0; i < 40; ++i) ASSERT_FALSE(FailingAuthorize());
  EXPECT_EQ(OpenHandles(), before);
}

}  // namespace
}  // namespace vaq
