// When the copy dialog's steps and status text may run: decisions from the
// clock and the message queue alone, so that they can be tested anywhere.
#pragma once

// A step copies whole files while less than this has passed since it began.
constexpr double kStepBudgetMs = 20.0;
// The least SetTimer gives: it brings the next step when posting it would
// put it ahead of the user.
constexpr unsigned kStepTimerMs = 10;
// About as often as the screen can show a change.
constexpr double kStatusPeriodMs = 50.0;

// The bits of GetQueueStatus's high word that the decision reads; the same
// values on every Windows (the copy dialog checks them against QS_*).
constexpr unsigned kQueuedKey = 0x0001;
constexpr unsigned kQueuedMouseMove = 0x0002;
constexpr unsigned kQueuedMouseButton = 0x0004;
constexpr unsigned kQueuedTimer = 0x0010;
constexpr unsigned kQueuedPaint = 0x0020;
constexpr unsigned kQueuedHotKey = 0x0080;
constexpr unsigned kQueuedRawInput = 0x0400;
// What a posted step would overtake. Named bit by bit: QS_INPUT of newer
// headers carries bits that make GetQueueStatus fail on Windows 7.
constexpr unsigned kOvertakenByPost = kQueuedKey | kQueuedMouseMove | kQueuedMouseButton |
                                      kQueuedTimer | kQueuedPaint | kQueuedHotKey | kQueuedRawInput;

bool StepHasTime(double step_started_ms, double now_ms);

enum NextStepBy {
  kPostNextStep,  // nothing else waits: the next step comes at once
  kTimerBringsNextStep,
};
// queued: the high word of GetQueueStatus(kOvertakenByPost).
NextStepBy ChooseNextStepBy(unsigned queued);

// The status text names the file in progress, changed at most once a
// period; a file's text that had to wait is shown once its time has come.
struct StatusPace {
  double shown_at_ms;
  bool waiting;  // the file in progress is not shown yet
};

void StartStatusPace(StatusPace* pace);
// Each returns true when the file in progress is to be shown now, and then
// counts it as shown.
// A file begins.
bool StatusOnNewFile(StatusPace* pace, double now_ms);
// Later during the same file (between its chunks).
bool StatusDueNow(StatusPace* pace, double now_ms);
// Before a box about the file: whatever the time, it is shown unless it is.
bool StatusBeforeBox(StatusPace* pace, double now_ms);
