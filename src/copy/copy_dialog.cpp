#include "copy/copy_dialog.h"

#include <string.h>

#include "app/run_state.h"
#include "copy/copy_file.h"
#include "copy/leftover_temps.h"
#include "copy/copy_paths.h"
#include "copy/copy_progress.h"
#include "copy/entry_folders.h"
#include "copy/medium.h"
#include "copy/step_pace.h"
#include "res/resource.h"
#include "settings/settings.h"
#include "text/format.h"
#include "text/texts.h"
#include "ui/message_box.h"
#include "verify/hash_list.h"
#include "verify/medium_proof.h"
#include "win/long_path.h"
#include "win/message_pump.h"
#include "win/now_ms.h"
#include "win/wide_text.h"
#include "win/window_text.h"

constexpr UINT_PTR kCopyTimer = 123;

static_assert(kQueuedKey == QS_KEY && kQueuedMouseMove == QS_MOUSEMOVE &&
                  kQueuedMouseButton == QS_MOUSEBUTTON && kQueuedTimer == QS_TIMER &&
                  kQueuedPaint == QS_PAINT && kQueuedHotKey == QS_HOTKEY &&
                  kQueuedRawInput == QS_RAWINPUT,
              "the queue bits are Windows' own");

int copy_failed_count;

// A step is due whenever step_count differs from step_mark; while one runs
// (and while its failure box runs a nested message loop) they are equal.
// step_count counts steps, not files: a step copies several.
static int step_count;
static int step_mark;
// The medium's folder as the texts show it; the files are opened through
// kMediumRoot.
static char source_root[1024];
static char current_file[1024];
static CopyPaths copy_paths;
static char shown_source[1024];
static char status_text[1024];
static StatusPace status_pace;
static char failure_text[1024];
// Set once EndDialog has been called: a copy under way stops at its next
// chunk and no further step starts.
static bool copy_ended;
// Set when a step has found the end of the list. The dialog manager also
// sends IDOK when the user presses Enter; that must not end the update as
// complete with files still to copy.
static bool list_done;

static unsigned long long SourceSize(const char* source_path) {
  wchar_t wide[1024];
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!ToWidePath(source_path, wide, 1024) ||
      !GetFileAttributesExW(wide, GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return 0;
  }
  return (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

static bool EntryCopied(const char* entry) {
  return BuildCopyPaths(kMediumRoot, settings.path, install_dir, entry, &copy_paths) ==
         kCopyPathsReady;
}

// Leftovers of a killed run go before the copy, once per folder: a folder of
// thousands of entries is searched once, not once for each of them.
static void SweepLeftoverTemps() {
  static size_t folders[kMaxFiles];
  size_t count = EntryFolders(kCopyMask, EntryCopied, folders, kMaxFiles);
  for (size_t i = 0; i < count; ++i) {
    if (BuildCopyPaths(kMediumRoot, settings.path, install_dir, settings.files[folders[i]].name,
                       &copy_paths) == kCopyPathsReady) {
      RemoveLeftoverTemps(copy_paths.dest_dir);
    }
  }
}

// The bar spans the bytes of every selected entry; one that cannot be read
// or will be refused has none.
static void PlanProgress(HWND dialog) {
  ClearProgressPlan();
  SelectFiles(kCopyMask);
  while (NextSelectedFile(current_file, sizeof current_file) == 0) {
    bool ready = BuildCopyPaths(kMediumRoot, settings.path, install_dir, current_file,
                                &copy_paths) == kCopyPathsReady;
    PlanEntry(ready ? SourceSize(copy_paths.source_path) : 0);
  }
  SweepLeftoverTemps();
  StartProgress(dialog);
}

static void StartCopy(HWND dialog) {
  proceed = 0;
  ReadSourceRoot(source_root, sizeof source_root);
  step_count = 0;
  step_mark = -1;
  // Lines the list could not hold were never going to be copied.
  copy_failed_count = CountLeftOut(kCopyMask);
  copy_ended = false;
  list_done = false;
  StartStatusPace(&status_pace);
  PlanProgress(dialog);
  // The first step waits for the tick, after the dialog's first paint; the
  // tick also brings every step that is not posted.
  SetTimer(dialog, kCopyTimer, kStepTimerMs, nullptr);
  SelectFiles(kCopyMask);
}

static void ShowCopyStatus(HWND dialog) {
  ShownSourcePath(source_root, copy_paths.source_path, shown_source, sizeof shown_source);
  FormatText(status_text, sizeof status_text, kTextCopyStatus, shown_source, copy_paths.dest_path);
  SetControlText932(dialog, IDC_COPY_STATUS, status_text);
}

// Setting the text repaints it at once (Wine's static control does); with
// hundreds of small files a second, that would cost more than the copies.
static void ShowStatusOfNewFile(HWND dialog) {
  if (StatusOnNewFile(&status_pace, NowMs())) ShowCopyStatus(dialog);
}

// A box names the file, and the text above it must name the same one.
static void ShowStatusBeforeBox(HWND dialog) {
  if (StatusBeforeBox(&status_pace, NowMs())) ShowCopyStatus(dialog);
}

static bool BetweenChunks(void* context, unsigned long long copied) {
  HWND dialog = static_cast<HWND>(context);
  ShowEntryProgress(dialog, copied);
  if (StatusDueNow(&status_pace, NowMs())) ShowCopyStatus(dialog);
  PumpMessages(dialog);
  return !copy_ended;
}

// From the timer and from a posted ID_COPY_NEXT. Either may come while a
// step runs (its chunks and its failure box pump messages), and then finds
// step_count equal to step_mark. The dialog manager shows the dialog only
// once its queue is empty: a step that came first would copy unseen, and
// the steps posted after it would keep the dialog hidden to the end.
static void RequestStep(HWND dialog) {
  if (step_count != step_mark && !copy_ended && IsWindowVisible(dialog)) {
    SendMessageW(dialog, WM_COMMAND, ID_COPY_STEP, step_count);
  }
}

static void BringNextStep(HWND dialog) {
  DWORD queued = HIWORD(GetQueueStatus(kOvertakenByPost));
  if (ChooseNextStepBy(queued) == kPostNextStep) PostMessageW(dialog, WM_COMMAND, ID_COPY_NEXT, 0);
}

static void ReportCopyFailure(HWND dialog) {
  ++copy_failed_count;
  ShowStatusBeforeBox(dialog);
  ShownSourcePath(source_root, copy_paths.source_path, shown_source, sizeof shown_source);
  FormatText(failure_text, sizeof failure_text, kTextCopyFailed, shown_source,
             copy_paths.dest_path);
  ShowMessage(dialog, failure_text, kCaptionCopyFailed);
}

static void EndCopy(HWND dialog, unsigned char outcome);

// With the medium gone every entry left would fail the same way: one box,
// and the update ends as failed, counting this entry and every one after it.
static void EndForLostMedium(HWND dialog) {
  ++copy_failed_count;
  ShowStatusBeforeBox(dialog);
  while (NextSelectedFile(current_file, sizeof current_file) == 0) ++copy_failed_count;
  ShowMessage(dialog, kTextMediumLost, kCaptionUpdateFailed);
  EndCopy(dialog, 1);
}

// A file whose bytes are not the ones the medium's list vouches for is named
// as it lies on the medium, where the publisher can look for it.
static void ReportDamagedFile(HWND dialog) {
  ++copy_failed_count;
  ShowStatusBeforeBox(dialog);
  char medium_path[1024];
  MediumPathOf(current_file, medium_path, sizeof medium_path);
  FormatText(failure_text, sizeof failure_text, kTextFileDamaged, medium_path);
  ShowMessage(dialog, failure_text, kCaptionCopyFailed);
}

static void CopyEntry(HWND dialog) {
  CreateEntryFolders(copy_paths.dest_dir, strlen(install_dir) + 1);
  ShowStatusOfNewFile(dialog);
  unsigned char digest[kSha256Size];
  const unsigned char* expected = nullptr;
  if (MediumListApplies()) {
    expected = digest;
    // Checked for every entry at start; a miss here is a damaged list.
    if (!ListedDigest(current_file, digest)) {
      ReportDamagedFile(dialog);
      return;
    }
  }
  CopyOutcome outcome =
      CopyOneFile(copy_paths.source_path, copy_paths.dest_path, BetweenChunks, dialog, expected);
  // Closed while the file was on its way: its old file stays exactly as it
  // was, and closing is no failure to report.
  if (outcome == kCopyStopped) return;
  bool medium_lost =
      outcome == kCopyFailed && SourceFolderGone(copy_paths.source_path, current_file);
  if (medium_lost) {
    EndForLostMedium(dialog);
  } else if (outcome == kCopyFailed) {
    ReportCopyFailure(dialog);
  } else if (outcome == kCopyDamaged) {
    ReportDamagedFile(dialog);
  }
  ClearReadOnly(copy_paths.dest_path);
}

// An entry that would leave the game folder, or whose paths do not fit, is
// never copied. The message names the paths as plainly joined (cut to fit),
// so the user can tell which entry of the list it was.
static void RefuseEntry(HWND dialog) {
  FormatText(copy_paths.source_path, sizeof copy_paths.source_path, "%s\\%s\\%s", kMediumRoot,
             settings.path, current_file);
  FormatText(copy_paths.dest_path, sizeof copy_paths.dest_path, "%s\\%s", install_dir,
             current_file);
  ShowStatusOfNewFile(dialog);
  ReportCopyFailure(dialog);
}

// False when the copy is over: the end of the list, or ended while the file
// was on its way.
static bool CopyNextEntry(HWND dialog) {
  if (NextSelectedFile(current_file, sizeof current_file) != 0) {
    FillProgress(dialog);
    list_done = true;
    SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    return false;
  }
  if (BuildCopyPaths(kMediumRoot, settings.path, install_dir, current_file, &copy_paths) ==
      kCopyPathsReady) {
    CopyEntry(dialog);
  } else {
    RefuseEntry(dialog);
  }
  if (copy_ended) return false;
  FinishEntryProgress(dialog);
  return true;
}

// Whole files until the step's time is up; a large file takes its own time,
// its chunks letting the dialog answer. Once the copy is over, step_count
// stays: no tick or posted step still queued starts another.
static void RunCopyStep(HWND dialog, LPARAM requested) {
  step_mark = static_cast<int>(requested);
  double started = NowMs();
  do {
    if (!CopyNextEntry(dialog)) return;
  } while (StepHasTime(started, NowMs()));
  ++step_count;
  BringNextStep(dialog);
}

static void EndCopy(HWND dialog, unsigned char outcome) {
  copy_ended = true;
  EndDialog(dialog, 1);
  proceed = outcome;
}

// Windows may end the process as soon as this returns: no further file
// starts, and the temporary copy of the file on its way is removed now.
static void EndForSession(HWND dialog) {
  bool copying = step_count == step_mark && !list_done;
  EndCopy(dialog, 0);
  if (copying) RemoveTempOf(copy_paths.dest_path);
}

INT_PTR CALLBACK CopyDialog(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      StartCopy(dialog);
      return TRUE;
    case WM_TIMER:
      RequestStep(dialog);
      return FALSE;
    case WM_ENDSESSION:  // the user logs off or the system shuts down
      if (wparam) EndForSession(dialog);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wparam)) {
        case ID_COPY_STEP:
          RunCopyStep(dialog, lparam);
          return FALSE;
        case ID_COPY_NEXT:  // posted by a step when nothing else waited
          RequestStep(dialog);
          return FALSE;
        case IDOK:  // the end of the list, or the Enter key
          if (list_done) EndCopy(dialog, 1);
          return TRUE;
        case IDCANCEL:  // the close box
          EndCopy(dialog, 0);
          return TRUE;
      }
      return FALSE;
  }
  return FALSE;
}
