#include "base/setup_context.h"

#include <gtest/gtest.h>

namespace vaq {
namespace {

TEST(SetupContext, FreshRecordHoldsTheInitialValues) {
  const SetupContext c;
  EXPECT_EQ(c.state, SetupState::Confirm);
  EXPECT_EQ(c.countdown, 3);
  EXPECT_EQ(c.layoutDpi, 96);
  EXPECT_EQ(c.spinnerFrame, 0);
  EXPECT_TRUE(c.grant.empty());
  EXPECT_TRUE(c.failureText.empty());
  EXPECT_FALSE(c.startFailure);
  EXPECT_EQ(c.authorizeThread, nullptr);
  EXPECT_EQ(c.authorizeRequest.window, nullptr);
  EXPECT_TRUE(c.authorizeRequest.body.empty());
  for (WindowHandle box : c.digitBoxes) EXPECT_EQ(box, nullptr);
  EXPECT_EQ(c.primaryButton, nullptr);
  EXPECT_EQ(c.hotControl, nullptr);
  EXPECT_EQ(c.editBrush, nullptr);
}

TEST(SetupContext, WireValuesOfStatesMessagesTimersAndIds) {
  EXPECT_EQ(static_cast<int>(SetupState::EnterCode), -1);
  EXPECT_EQ(static_cast<int>(SetupState::Finished), 2);
  EXPECT_EQ(WM_SETUP_INSTALL_DONE, 0x8001u);
  EXPECT_EQ(WM_SETUP_AUTHORIZE_DONE, 0x8002u);
  EXPECT_EQ(WM_SETUP_SUBMIT_CODE, 0x8003u);
  EXPECT_EQ(TIMER_COUNTDOWN, 1u);
  EXPECT_EQ(TIMER_SPINNER, 2u);
  EXPECT_EQ(IDC_PRIMARY, 1);
  EXPECT_EQ(IDC_CANCEL, 2);
  EXPECT_EQ(IDC_COPY_ERROR, 3);
  EXPECT_EQ(IDC_DIGIT_FIRST, 10);
}

}  // namespace
}  // namespace vaq
