#include "copy/step_pace.h"

bool StepHasTime(double step_started_ms, double now_ms) {
  return now_ms - step_started_ms < kStepBudgetMs;
}

// Posted messages are taken before input, paint and timers: a step posted
// while any of them waits would go first, and the next step after it again,
// so the dialog would neither repaint nor take a key until the copy ended.
// The timer's tick comes after them all.
NextStepBy ChooseNextStepBy(unsigned queued) {
  return (queued & kOvertakenByPost) == 0 ? kPostNextStep : kTimerBringsNextStep;
}

void StartStatusPace(StatusPace* pace) {
  pace->waiting = false;
  // The first file is shown at once.
  pace->shown_at_ms = -kStatusPeriodMs;
}

static bool ShowNow(StatusPace* pace, double now_ms) {
  pace->shown_at_ms = now_ms;
  pace->waiting = false;
  return true;
}

bool StatusOnNewFile(StatusPace* pace, double now_ms) {
  pace->waiting = true;
  return StatusDueNow(pace, now_ms);
}

bool StatusDueNow(StatusPace* pace, double now_ms) {
  if (!pace->waiting || now_ms - pace->shown_at_ms < kStatusPeriodMs) return false;
  return ShowNow(pace, now_ms);
}

bool StatusBeforeBox(StatusPace* pace, double now_ms) {
  return pace->waiting && ShowNow(pace, now_ms);
}
