// What GetQueueStatus reports for the messages that a posted copy step could
// overtake. The copy posts its next step only when none waits; if the
// system did not report one of them, the copy would starve it.
#include <gtest/gtest.h>
#include <windows.h>

#include "copy/step_pace.h"

namespace {

class QueueStatusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSW window_class = {};
    window_class.lpfnWndProc = DefWindowProcW;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.lpszClassName = L"QueueStatusTest";
    RegisterClassW(&window_class);
    window_ = CreateWindowExW(0, L"QueueStatusTest", L"", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50,
                              nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(window_);
    Drain();
  }
  void TearDown() override {
    KillTimer(window_, 1);
    DestroyWindow(window_);
    Drain();
  }

  // Every message waiting, painted and dispatched.
  static void Drain() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  }

  static unsigned Waiting() { return HIWORD(GetQueueStatus(kOvertakenByPost | QS_POSTMESSAGE)); }

  HWND window_ = nullptr;
};

TEST_F(QueueStatusTest, NothingWaitingLetsTheStepBePosted) {
  EXPECT_EQ(Waiting() & kOvertakenByPost, 0u);
  EXPECT_EQ(ChooseNextStepBy(Waiting()), kPostNextStep);
}

// A message posted before the step is taken before it anyway.
TEST_F(QueueStatusTest, APostedMessageLetsTheStepBePosted) {
  ASSERT_TRUE(PostMessageW(window_, WM_USER, 0, 0));
  EXPECT_NE(Waiting() & QS_POSTMESSAGE, 0u);
  EXPECT_EQ(ChooseNextStepBy(Waiting()), kPostNextStep);
}

TEST_F(QueueStatusTest, ARepaintWaitsForTheStep) {
  ASSERT_TRUE(InvalidateRect(window_, nullptr, TRUE));
  EXPECT_NE(Waiting() & QS_PAINT, 0u);
  EXPECT_EQ(ChooseNextStepBy(Waiting()), kTimerBringsNextStep);
  Drain();
  EXPECT_EQ(Waiting() & QS_PAINT, 0u) << "the repaint is done";
}

TEST_F(QueueStatusTest, ATimerDueWaitsForTheStep) {
  ASSERT_TRUE(SetTimer(window_, 1, kStepTimerMs, nullptr));
  Sleep(5 * kStepTimerMs);
  EXPECT_NE(Waiting() & QS_TIMER, 0u);
  EXPECT_EQ(ChooseNextStepBy(Waiting()), kTimerBringsNextStep);
}

}  // namespace
