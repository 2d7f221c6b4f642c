#include "copy/copy_progress.h"

#include <commctrl.h>

#include "res/resource.h"
#include "settings/settings.h"

constexpr unsigned long long kLargestPosition = 0x7FFFFFFF;
// The bar moves at most this often, within a file and from file to file:
// drawing it took Wine some ten milliseconds a time, far longer than copying
// a chunk or a small file.
constexpr DWORD kRedrawPeriodMs = 100;

// The sizes as they were at dialog start, so that a source that changes
// afterwards cannot move the bar back or past its end.
static unsigned long long entry_sizes[kMaxFiles];
static int planned_entries;
static int current_entry;
static unsigned long long planned_total;
static unsigned long long finished_bytes;
static int shown_position;
static DWORD shown_at;

// Bytes are counted in units of a power of two large enough to fit the
// range; an update without a byte to copy still gets a range of one.
static int UnitShift(unsigned long long total) {
  int shift = 0;
  while ((total >> shift) > kLargestPosition) ++shift;
  return shift;
}

int ProgressEnd(unsigned long long total) {
  unsigned long long end = total >> UnitShift(total);
  return end == 0 ? 1 : static_cast<int>(end);
}

int ProgressPosition(unsigned long long done, unsigned long long total) {
  if (done > total) done = total;
  return static_cast<int>(done >> UnitShift(total));
}

static bool RedrawDue() {
  return GetTickCount() - shown_at >= kRedrawPeriodMs;
}

static void ShowPosition(HWND dialog, int position) {
  if (position == shown_position) return;
  shown_position = position;
  shown_at = GetTickCount();
  SendDlgItemMessageW(dialog, IDC_COPY_PROGRESS, PBM_SETPOS, position, 0);
}

void ClearProgressPlan() {
  planned_entries = 0;
  planned_total = 0;
}

void PlanEntry(unsigned long long size) {
  if (planned_entries >= kMaxFiles) return;
  entry_sizes[planned_entries++] = size;
  planned_total += size;
}

void StartProgress(HWND dialog) {
  current_entry = 0;
  finished_bytes = 0;
  shown_position = 0;
  shown_at = GetTickCount();
  SendDlgItemMessageW(dialog, IDC_COPY_PROGRESS, PBM_SETRANGE32, 0, ProgressEnd(planned_total));
  SendDlgItemMessageW(dialog, IDC_COPY_PROGRESS, PBM_SETPOS, 0, 0);
}

void ShowEntryProgress(HWND dialog, unsigned long long copied) {
  if (current_entry >= planned_entries || !RedrawDue()) return;
  unsigned long long size = entry_sizes[current_entry];
  unsigned long long done = finished_bytes + (copied < size ? copied : size);
  ShowPosition(dialog, ProgressPosition(done, planned_total));
}

void FinishEntryProgress(HWND dialog) {
  if (current_entry >= planned_entries) return;
  finished_bytes += entry_sizes[current_entry++];
  // The last entry's end is the bar's end, also for a plan without bytes.
  if (current_entry == planned_entries) {
    FillProgress(dialog);
  } else if (RedrawDue()) {
    ShowPosition(dialog, ProgressPosition(finished_bytes, planned_total));
  }
}

void FillProgress(HWND dialog) {
  ShowPosition(dialog, ProgressEnd(planned_total));
}
