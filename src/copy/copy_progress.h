// The copy dialog's progress bar, over the bytes of the whole update.
#pragma once

#include <windows.h>

// Position of done bytes of total on a bar whose range is 0 to
// ProgressEnd(total): both fit the bar's signed 32-bit range.
int ProgressEnd(unsigned long long total);
int ProgressPosition(unsigned long long done, unsigned long long total);

// Planning at dialog start: forget the last plan, then one call per
// selected entry in list order, with its source's size (0 when unreadable).
void ClearProgressPlan();
void PlanEntry(unsigned long long size);
// Sets the bar's range to the plan and its position to 0.
void StartProgress(HWND dialog);

// copied bytes of the entry in progress (the next one not yet done).
void ShowEntryProgress(HWND dialog, unsigned long long copied);
// The entry in progress counts as done, whether it was copied or not.
void FinishEntryProgress(HWND dialog);
// The end of the list: the bar is full.
void FillProgress(HWND dialog);
