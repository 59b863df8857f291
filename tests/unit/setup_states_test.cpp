// The setup window's state machine against recording controls.
#include "app/setup_states.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/failure_text.h"
#include "base/text.h"
#include "tests/unit/fake_digit_slots.h"

namespace vaq {
namespace {

// Distinct fake handles; only their identity matters.
char primary, cancel, copy, errorBox, box0, box1, box2, box3, window, authThread;

struct ControlState {
  bool visible = false;
  bool enabled = true;
  std::u16string text;
};

class RecordingControls : public SetupControls {
 public:
  std::map<WindowHandle, ControlState> controls;
  WindowHandle focus = nullptr;
  std::set<uintptr_t> timers;
  bool destroyed = false;
  std::vector<std::pair<uint32_t, uintptr_t>> posts;
  int windowRepaints = 0;
  std::vector<int> appliedDpis;
  bool succeeded = false;
  test::FakeDigitSlots digits;
  // Worker threads: what the next start returns, and what was handed over.
  ThreadHandle authorizationThreadToReturn = &authThread;
  std::optional<std::string> bodyAtStart;
  std::optional<uint32_t> installStartError;
  int installStarts = 0;
  std::vector<ThreadHandle> joined;
  bool copyResult = true;
  int copies = 0;

  void Show(WindowHandle control, bool visible) override { controls[control].visible = visible; }
  void Enable(WindowHandle control, bool enabled) override { controls[control].enabled = enabled; }
  void SetText(WindowHandle control, std::u16string_view text) override { controls[control].text = text; }
  void Focus(WindowHandle control) override { focus = control; }
  void RepaintControl(WindowHandle) override {}
  void RepaintWindow() override { ++windowRepaints; }
  void SetTimer(uintptr_t timerId, uint32_t) override { timers.insert(timerId); }
  void KillTimer(uintptr_t timerId) override { timers.erase(timerId); }
  void DestroyWindow() override { destroyed = true; }
  void Post(uint32_t message, uintptr_t wParam) override { posts.emplace_back(message, wParam); }
  ThreadHandle StartAuthorizationThread(AuthorizeRequest& request) override {
    bodyAtStart = request.body;
    return authorizationThreadToReturn;
  }
  bool StartInstallationThread(uint32_t& errorCode) override {
    ++installStarts;
    if (!installStartError) return true;
    errorCode = *installStartError;
    return false;
  }
  void WaitAndCloseThread(ThreadHandle thread) override { joined.push_back(thread); }
  bool Succeeded() override { return succeeded; }
  void SetSucceeded(bool value) override { succeeded = value; }
  int GetWindowDpi() override { return 144; }
  void ApplyDpiLayout(int dpi) override { appliedDpis.push_back(dpi); }
  bool CopyFailureText() override {
    ++copies;
    return copyResult;
  }
  DigitSlots& DigitBoxes() override { return digits; }

  std::set<WindowHandle> Visible() const {
    std::set<WindowHandle> visible;
    for (const auto& [handle, state] : controls) {
      if (state.visible) visible.insert(handle);
    }
    return visible;
  }
  std::u16string Caption() { return controls[&primary].text; }
};

// One window's record and controls, with the starting points of the tests.
struct Harness {
  SetupContext context;
  RecordingControls controls;

  Harness() {
    context.primaryButton = &primary;
    context.cancelButton = &cancel;
    context.copyButton = &copy;
    context.errorEdit = &errorBox;
    WindowHandle boxes[] = {&box0, &box1, &box2, &box3};
    std::copy(std::begin(boxes), std::end(boxes), context.digitBoxes);
  }

  // The window as start-up leaves it.
  void StartInEnterCode() {
    context.state = SetupState::EnterCode;
    for (WindowHandle box : context.digitBoxes) controls.Show(box, true);
    controls.Show(&cancel, true);
    controls.Focus(&box0);
  }
  void StartInConfirm() {
    context.grant = std::u16string(64, u'a');
    controls.Show(&primary, true);
    controls.Show(&cancel, true);
    controls.Focus(&primary);
    UpdatePrimaryCaption(context, controls);
    controls.SetTimer(TIMER_COUNTDOWN, TIMER_COUNTDOWN_MS);
  }
  void Verifying() {
    StartInEnterCode();
    controls.digits.texts = {u"1", u"2", u"3", u"4"};
    StartVerification(context, controls, &window);
  }
  void Installing() {
    StartInConfirm();
    OnCommand(context, controls, IDC_PRIMARY, false);
  }
};

struct SetupStates : ::testing::Test, Harness {};

using Step = std::function<void(Harness&)>;

struct TransitionRow {
  const char* name;
  Step arrange;
  Step act;
  SetupState state;
  std::set<WindowHandle> visible;
  std::set<WindowHandle> disabled;
  WindowHandle focus;
  std::u16string caption;
  std::set<uintptr_t> timers;
  bool destroyed;
};

void Submit(Harness& t) { StartVerification(t.context, t.controls, &window); }
void Cancel(Harness& t) { OnCommand(t.context, t.controls, IDC_CANCEL, false); }
void Primary(Harness& t) { OnCommand(t.context, t.controls, IDC_PRIMARY, false); }
void Close(Harness& t) { OnClose(t.context, t.controls); }
void Tick(Harness& t) { OnTimer(t.context, t.controls, TIMER_COUNTDOWN); }
void AuthorizeDone(Harness& t) { OnAuthorizeDone(t.context, t.controls); }
Step InstallDoneWith(bool succeeded) {
  return [succeeded](Harness& t) { OnInstallDone(t.context, t.controls, succeeded); };
}

const std::set<WindowHandle> kBoxesAndCancel = {&box0, &box1, &box2, &box3, &cancel};

const TransitionRow kTransitions[] = {
    {"four digits submitted", [](Harness& t) { t.StartInEnterCode(); t.controls.digits.texts = {u"1", u"2", u"3", u"4"}; },
     Submit, SetupState::EnterCode, kBoxesAndCancel, kBoxesAndCancel, &box0, u"", {}, false},
    {"code verified with a grant", [](Harness& t) { t.Verifying(); t.context.authorizeRequest.grant = std::u16string(64, u'b'); },
     AuthorizeDone, SetupState::Confirm, {&primary, &cancel}, {&box0, &box1, &box2, &box3}, &primary, u"继续（3 秒）", {TIMER_COUNTDOWN}, false},
    {"code verified without a grant", [](Harness& t) { t.Verifying(); t.context.authorizeRequest.failureText = u"授权码无效"; },
     AuthorizeDone, SetupState::EnterCode, kBoxesAndCancel, {}, &box0, u"", {}, false},
    {"cancel while entering a code", [](Harness& t) { t.StartInEnterCode(); },
     Cancel, SetupState::EnterCode, kBoxesAndCancel, {}, &box0, u"", {}, true},
    {"close while entering a code", [](Harness& t) { t.StartInEnterCode(); },
     Close, SetupState::EnterCode, kBoxesAndCancel, {}, &box0, u"", {}, true},
    {"cancel while verifying", [](Harness& t) { t.Verifying(); },
     Cancel, SetupState::EnterCode, kBoxesAndCancel, kBoxesAndCancel, &box0, u"", {}, false},
    {"close while verifying", [](Harness& t) { t.Verifying(); },
     Close, SetupState::EnterCode, kBoxesAndCancel, kBoxesAndCancel, &box0, u"", {}, false},
    {"primary in confirm", [](Harness& t) { t.StartInConfirm(); },
     Primary, SetupState::Installing, {}, {}, &primary, u"继续（3 秒）", {TIMER_SPINNER}, false},
    {"last countdown tick in confirm", [](Harness& t) { t.StartInConfirm(); Tick(t); Tick(t); },
     Tick, SetupState::Installing, {}, {}, &primary, u"继续（1 秒）", {TIMER_SPINNER}, false},
    {"cancel in confirm", [](Harness& t) { t.StartInConfirm(); },
     Cancel, SetupState::Confirm, {&primary, &cancel}, {}, &primary, u"继续（3 秒）", {TIMER_COUNTDOWN}, true},
    {"close in confirm", [](Harness& t) { t.StartInConfirm(); },
     Close, SetupState::Confirm, {&primary, &cancel}, {}, &primary, u"继续（3 秒）", {TIMER_COUNTDOWN}, true},
    {"start failure in confirm", [](Harness& t) { t.StartInConfirm(); t.context.startFailure = true; },
     InstallDoneWith(false), SetupState::Finished, {&primary, &copy, &errorBox}, {}, &primary, u"关闭", {}, false},
    {"installation succeeded", [](Harness& t) { t.Installing(); },
     InstallDoneWith(true), SetupState::Finished, {&primary}, {}, &primary, u"关闭（6 秒）", {TIMER_COUNTDOWN}, false},
    {"installation failed", [](Harness& t) { t.Installing(); },
     InstallDoneWith(false), SetupState::Finished, {&primary, &copy, &errorBox}, {}, &primary, u"关闭", {}, false},
    {"close while installing", [](Harness& t) { t.Installing(); },
     Close, SetupState::Installing, {}, {}, &primary, u"继续（3 秒）", {TIMER_SPINNER}, false},
    {"cancel while installing", [](Harness& t) { t.Installing(); },
     Cancel, SetupState::Installing, {}, {}, &primary, u"继续（3 秒）", {TIMER_SPINNER}, false},
    {"primary on the failure page", [](Harness& t) { t.Installing(); OnInstallDone(t.context, t.controls, false); },
     Primary, SetupState::Finished, {&primary, &copy, &errorBox}, {}, &primary, u"关闭", {}, true},
    {"close on the success page", [](Harness& t) { t.Installing(); OnInstallDone(t.context, t.controls, true); },
     Close, SetupState::Finished, {&primary}, {}, &primary, u"关闭（6 秒）", {TIMER_COUNTDOWN}, true},
    {"last tick on the success page", [](Harness& t) { t.Installing(); OnInstallDone(t.context, t.controls, true); for (int i = 0; i < 5; ++i) Tick(t); },
     Tick, SetupState::Finished, {&primary}, {}, &primary, u"关闭（1 秒）", {TIMER_COUNTDOWN}, true},
};

TEST_F(SetupStates, TransitionTable) {
  for (const TransitionRow& row : kTransitions) {
    SCOPED_TRACE(row.name);
    Harness t;
    row.arrange(t);
    row.act(t);
    EXPECT_EQ(t.context.state, row.state);
    EXPECT_EQ(t.controls.Visible(), row.visible);
    std::set<WindowHandle> disabled;
    for (const auto& [handle, state] : t.controls.controls) {
      if (!state.enabled) disabled.insert(handle);
    }
    EXPECT_EQ(disabled, row.disabled);
    EXPECT_EQ(t.controls.focus, row.focus);
    EXPECT_EQ(t.controls.Caption(), row.caption);
    EXPECT_EQ(t.controls.timers, row.timers);
    EXPECT_EQ(t.controls.destroyed, row.destroyed);
  }
}

TEST_F(SetupStates, ConfirmCountsThreeTwoOneThenInstallsOnce) {
  StartInConfirm();
  EXPECT_EQ(controls.Caption(), u"继续（3 秒）");
  Tick(*this);
  EXPECT_EQ(controls.Caption(), u"继续（2 秒）");
  Tick(*this);
  EXPECT_EQ(controls.Caption(), u"继续（1 秒）");
  EXPECT_EQ(controls.installStarts, 0);
  Tick(*this);
  EXPECT_EQ(context.state, SetupState::Installing);
  EXPECT_EQ(controls.installStarts, 1);
  Tick(*this);
  Primary(*this);
  EXPECT_EQ(controls.installStarts, 1);
  EXPECT_TRUE(controls.posts.empty());
}

TEST_F(SetupStates, SuccessPageCountsSixToOneThenDestroysTheWindow) {
  Installing();
  OnInstallDone(context, controls, true);
  EXPECT_TRUE(controls.succeeded);
  for (int n = 6; n >= 1; --n) {
    EXPECT_EQ(controls.Caption(), u"关闭（" + DecimalText(n) + u" 秒）");
    EXPECT_FALSE(controls.destroyed);
    Tick(*this);
  }
  EXPECT_TRUE(controls.destroyed);
}

TEST_F(SetupStates, FailurePageShowsTheFailureTextWithCrLfBreaksOrTheFixedOneAndIgnoresTicks) {
  const struct {
    std::u16string failure;
    std::u16string shown;
  } cases[] = {
      {u"下载失败", u"下载失败"},
      {u"", u"安装未完成，未收到详细错误。请联系管理员检查安装环境。"},
      {u"下载失败\n请检查网络。", u"下载失败\r\n请检查网络。"},  // the box breaks lines only at CR LF
  };
  for (const auto& [failure, shown] : cases) {
    Harness t;
    t.Installing();
    t.context.failureText = failure;
    OnInstallDone(t.context, t.controls, false);
    EXPECT_EQ(t.controls.controls[&errorBox].text, shown);
    EXPECT_EQ(t.context.failureText, failure);
    EXPECT_FALSE(t.controls.succeeded);
    EXPECT_EQ(t.context.countdown, -1);
    EXPECT_EQ(t.controls.appliedDpis, std::vector<int>{96});
    Tick(t);
    EXPECT_EQ(t.controls.Caption(), u"关闭");
    EXPECT_FALSE(t.controls.destroyed);
  }
}

TEST_F(SetupStates, SpinnerAdvancesOnlyWhileInstallingAndWrapsAt72) {
  OnTimer(context, controls, TIMER_SPINNER);
  EXPECT_EQ(context.spinnerFrame, 0);
  Installing();
  context.spinnerFrame = 70;
  OnTimer(context, controls, TIMER_SPINNER);
  EXPECT_EQ(context.spinnerFrame, 71);
  OnTimer(context, controls, TIMER_SPINNER);
  EXPECT_EQ(context.spinnerFrame, 0);
}

TEST_F(SetupStates, CopyActsOnlyOnTheFailurePage) {
  struct Case {
    SetupState state;
    bool succeeded;
    bool copyResult;
    std::u16string caption;
  };
  const Case cases[] = {
      {SetupState::Finished, false, true, u"已复制"},
      {SetupState::Finished, false, false, u"复制失败"},
      {SetupState::Finished, true, true, u"复制错误"},
      {SetupState::Installing, false, true, u"复制错误"},
      {SetupState::Confirm, false, true, u"复制错误"},
      {SetupState::EnterCode, false, true, u"复制错误"},
  };
  for (const Case& c : cases) {
    Harness t;
    t.context.state = c.state;
    t.controls.succeeded = c.succeeded;
    t.controls.copyResult = c.copyResult;
    t.controls.SetText(&copy, u"复制错误");
    OnCommand(t.context, t.controls, IDC_COPY_ERROR, false);
    EXPECT_EQ(t.controls.controls[&copy].text, c.caption) << static_cast<int>(c.state);
    EXPECT_EQ(t.controls.copies, c.caption == u"复制错误" ? 0 : 1);
  }
}

TEST_F(SetupStates, SubmitHandsTheWorkerThe15ByteBodyOnce) {
  StartInEnterCode();
  controls.digits.texts = {u"0", u"4", u"2", u"7"};
  context.authorizeRequest.failureText = u"上次的错误";
  Submit(*this);
  EXPECT_EQ(controls.bodyAtStart, std::string("{\"code\":\"0427\"}"));
  EXPECT_EQ(context.authorizeRequest.body.size(), 15u);
  EXPECT_EQ(context.authorizeRequest.window, &window);
  EXPECT_EQ(context.authorizeRequest.failureText, u"");
  EXPECT_EQ(context.authorizeThread, &authThread);

  controls.bodyAtStart.reset();
  Submit(*this);
  EXPECT_FALSE(controls.bodyAtStart) << "a second submit while verifying";
}

TEST_F(SetupStates, SubmitDoesNothingWithoutFourDigitsOrOutsideEnterCode) {
  StartInEnterCode();
  controls.digits.texts = {u"1", u"2", u"", u"4"};
  Submit(*this);
  controls.digits.texts = {u"1", u"2", u"3", u"4"};
  context.state = SetupState::Confirm;
  Submit(*this);
  EXPECT_FALSE(controls.bodyAtStart);
  EXPECT_EQ(context.authorizeThread, nullptr);
  EXPECT_EQ(controls.windowRepaints, 0);
}

TEST_F(SetupStates, AuthorizationThreadThatCannotStartLeavesTheBoxesUsable) {
  StartInEnterCode();
  controls.authorizationThreadToReturn = nullptr;
  controls.digits.texts = {u"1", u"2", u"3", u"4"};
  Submit(*this);
  EXPECT_EQ(context.authorizeThread, nullptr);
  EXPECT_TRUE(context.authorizeRequest.body.empty());
  EXPECT_EQ(context.authorizeRequest.failureText, u"无法开始验证，请重试。");
  EXPECT_TRUE(controls.controls[&cancel].enabled);
  EXPECT_TRUE(controls.controls[&box0].enabled);
  EXPECT_EQ(controls.windowRepaints, 1);
}

TEST_F(SetupStates, AuthorizeDoneJoinsTheWorkerAndMovesTheGrant) {
  Verifying();
  context.authorizeRequest.grant = std::u16string(64, u'c');
  AuthorizeDone(*this);
  EXPECT_EQ(controls.joined, std::vector<ThreadHandle>{&authThread});
  EXPECT_EQ(context.authorizeThread, nullptr);
  EXPECT_EQ(context.grant, std::u16string(64, u'c'));
  EXPECT_EQ(context.authorizeRequest.grant, u"");
  EXPECT_EQ(controls.digits.Joined(), u"____");
  EXPECT_EQ(context.countdown, 3);
  EXPECT_EQ(controls.appliedDpis, std::vector<int>{144});
}

TEST_F(SetupStates, LateOrUnexpectedAuthorizeDoneIsIgnored) {
  StartInEnterCode();
  controls.digits.texts = {u"1", u"2", u"", u""};
  AuthorizeDone(*this);  // no worker held
  Verifying();
  context.state = SetupState::Confirm;
  AuthorizeDone(*this);  // not in EnterCode
  EXPECT_TRUE(controls.joined.empty());
  EXPECT_EQ(controls.digits.Joined(), u"1234");
  EXPECT_EQ(context.state, SetupState::Confirm);
}

TEST_F(SetupStates, InstallationThreadThatCannotStartReportsTheFailureThroughTheDoneMessage) {
  StartInConfirm();
  controls.installStartError = 8;
  Primary(*this);
  EXPECT_EQ(context.state, SetupState::Installing);
  EXPECT_EQ(context.failureText, WindowsFailureText(u"无法启动安装工作线程", 8, SystemMessageText(8)));
  ASSERT_EQ(controls.posts.size(), 1u);
  EXPECT_EQ(controls.posts[0], std::make_pair(WM_SETUP_INSTALL_DONE, uintptr_t{0}));
}

TEST_F(SetupStates, EditChangeRepaintsOnlyWhileEnteringACode) {
  OnCommand(context, controls, IDC_DIGIT_FIRST, true);
  EXPECT_EQ(controls.windowRepaints, 0);
  StartInEnterCode();
  OnCommand(context, controls, IDC_DIGIT_FIRST + 2, true);
  EXPECT_EQ(controls.windowRepaints, 1);
  EXPECT_FALSE(controls.destroyed);
}

TEST(RunExitCode, OneOnlyWhenTheRunEndsInEnterCodeOrFailedToStart) {
  struct Case {
    SetupState state;
    bool startFailure;
    int exitCode;
  };
  const Case cases[] = {
      {SetupState::EnterCode, false, 1}, {SetupState::Confirm, false, 0},
      {SetupState::Finished, false, 0},  {SetupState::Finished, true, 1},
      {SetupState::Installing, false, 0},
  };
  for (const Case& c : cases) {
    SetupContext context;
    context.state = c.state;
    context.startFailure = c.startFailure;
    EXPECT_EQ(RunExitCode(context), c.exitCode) << static_cast<int>(c.state);
  }
}

}  // namespace
}  // namespace vaq
