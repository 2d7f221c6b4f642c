#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "copy/step_pace.h"

namespace {

struct BudgetCase {
  double started;
  double now;
  bool has_time;
};

TEST(StepPace, BudgetOfAStep) {
  const BudgetCase cases[] = {
      {1000, 1000, true},
      {1000, 1019.9, true},
      {1000, 1020, false},
      // A failure box was open for seconds: the step ends after that file.
      {1000, 4000, false},
  };
  for (const BudgetCase& c : cases) {
    EXPECT_EQ(StepHasTime(c.started, c.now), c.has_time) << c.started << " " << c.now;
  }
}

struct QueueCase {
  const char* waiting;
  unsigned queued;
  NextStepBy by;
};

// The bits as GetQueueStatus reports them (QS_*).
TEST(StepPace, PostedOnlyWhenItOvertakesNothing) {
  const QueueCase cases[] = {
      {"nothing", 0x0000, kPostNextStep},
      // Taken before a posted step anyway, or after it in order.
      {"a posted message", 0x0008, kPostNextStep},
      {"a sent message", 0x0040, kPostNextStep},
      {"a posted and a sent message", 0x0048, kPostNextStep},
      {"QS_ALLPOSTMESSAGE", 0x0100, kPostNextStep},
      // A posted step would go before these.
      {"a key", 0x0001, kTimerBringsNextStep},
      {"a mouse move", 0x0002, kTimerBringsNextStep},
      {"a mouse button", 0x0004, kTimerBringsNextStep},
      {"a timer", 0x0010, kTimerBringsNextStep},
      {"a paint", 0x0020, kTimerBringsNextStep},
      {"a hot key", 0x0080, kTimerBringsNextStep},
      {"raw input", 0x0400, kTimerBringsNextStep},
      {"a paint and a posted message", 0x0028, kTimerBringsNextStep},
      {"a key and a sent message", 0x0041, kTimerBringsNextStep},
  };
  for (const QueueCase& c : cases) EXPECT_EQ(ChooseNextStepBy(c.queued), c.by) << c.waiting;
}

enum Event { kNewFile, kChunk, kBox };

struct StatusEvent {
  Event event;
  double at;
  bool shown;
};

struct StatusCase {
  const char* name;
  std::vector<StatusEvent> events;
};

TEST(StepPace, StatusText) {
  const StatusCase cases[] = {
      {"the first file at once, the next ones once a period",
       {{kNewFile, 5000, true},
        {kNewFile, 5001, false},
        {kNewFile, 5049, false},
        {kNewFile, 5050, true},
        {kNewFile, 5060, false},
        {kNewFile, 5120, true}}},
      // Regression: a large file that began right after a small one was
      // never named while it was copied.
      {"a file that began too soon is shown between its chunks",
       {{kNewFile, 100, true},
        {kNewFile, 110, false},
        {kChunk, 130, false},
        {kChunk, 150, true},
        {kChunk, 210, false},
        {kChunk, 400, false}}},
      {"a file already shown is not shown again",
       {{kNewFile, 100, true}, {kChunk, 200, false}, {kBox, 300, false}}},
      {"a failing file is shown before its box, however soon",
       {{kNewFile, 100, true},
        {kNewFile, 101, false},
        {kBox, 102, true},
        // The period counts from the box's text.
        {kNewFile, 140, false},
        {kNewFile, 152, true}}},
      {"the text of a finished file no longer waits",
       {{kNewFile, 100, true},
        {kNewFile, 120, false},
        {kNewFile, 160, true},
        {kChunk, 300, false}}},
  };
  for (const StatusCase& c : cases) {
    StatusPace pace;
    StartStatusPace(&pace);
    for (size_t i = 0; i < c.events.size(); ++i) {
      const StatusEvent& e = c.events[i];
      bool shown = e.event == kNewFile ? StatusOnNewFile(&pace, e.at)
                   : e.event == kChunk ? StatusDueNow(&pace, e.at)
                                       : StatusBeforeBox(&pace, e.at);
      EXPECT_EQ(shown, e.shown) << c.name << ", event " << i << " at " << e.at;
    }
  }
}

// The clock may start near zero (QueryPerformanceCounter since boot).
TEST(StepPace, FirstFileShownAtTimeZero) {
  StatusPace pace;
  StartStatusPace(&pace);
  EXPECT_TRUE(StatusOnNewFile(&pace, 0));
}

}  // namespace
