#include "versions/identify_dialog.h"

#include "app/run_state.h"
#include "copy/chunked_copy.h"
#include "copy/copy_dialog.h"
#include "copy/copy_paths.h"
#include "copy/copy_progress.h"
#include "copy/medium.h"
#include "copy/step_pace.h"
#include "preflight/preflight.h"
#include "res/resource.h"
#include "settings/settings.h"
#include "text/texts.h"
#include "ui/message_box.h"
#include "versions/game_files.h"
#include "win/long_path.h"
#include "win/message_pump.h"
#include "win/now_ms.h"

constexpr UINT_PTR kIdentifyTimer = 124;

bool identify_closed;
IdentifyOutcome identify_outcome;
NameList unknown_files;

// A step is due whenever step_count differs from step_mark; while one runs
// (its chunks pump messages) they are equal.
static int step_count;
static int step_mark;
static bool ended;
// The carried entries whose game files are read, by their index in the
// file list, and the one read next.
static int carried[kMaxFiles];
static int carried_count;
static int next_carried;
// Selected entries that the copy will refuse, so never read here.
static int refused_count;
static CopyPaths paths;
static char entry[kMaxEntryLength + 1];
static wchar_t wide[1024];
static GameFile file;
// Game files that another program holds without letting them be read: the
// game still running, or a scan. They are named once the pass is done, as
// the checks before the copy name files in use; Retry reads the game again.
static NameList in_use;
static wchar_t in_use_paths[kListedNames][1024];
static char in_use_text[1024];

// Reads whether the file is there and its size. Anything but plain absence
// that keeps it from being read, a folder of that name included, leaves a
// file that matches nothing.
static void Look(const char* path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  file.present = false;
  file.unreadable = false;
  file.size = 0;
  if (!ToWidePath(path, wide, 1024)) {
    file.present = file.unreadable = true;
    return;
  }
  if (!GetFileAttributesExW(wide, GetFileExInfoStandard, &data)) {
    DWORD error = GetLastError();
    file.present = file.unreadable = error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
    return;
  }
  file.present = true;
  file.unreadable = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  file.size = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// The carried entries in list order, then the bar over the sizes of their
// game files. Entries that the copy will refuse (outside the game folder,
// paths too long) are not read: the copy reports them.
static void PlanIdentify(HWND dialog) {
  ClearProgressPlan();
  carried_count = 0;
  next_carried = 0;
  refused_count = 0;
  SelectFiles(kCopyMask);
  while (NextSelectedFile(entry, sizeof entry) == 0) {
    if (BuildCopyPaths(kMediumRoot, settings.path, install_dir, entry, &paths) != kCopyPathsReady) {
      ++refused_count;
      continue;
    }
    carried[carried_count++] = LastSelectedIndex();
    Look(paths.dest_path);
    PlanEntry(file.present && !file.unreadable ? file.size : 0);
  }
  StartProgress(dialog);
}

static bool BetweenChunks(void* context, unsigned long long read) {
  HWND dialog = static_cast<HWND>(context);
  ShowEntryProgress(dialog, read);
  PumpMessages(dialog);
  return !ended;
}

static void EndIdentify(HWND dialog, bool closed) {
  ended = true;
  identify_closed = closed;
  EndDialog(dialog, 1);
}

static void CopyWide(wchar_t* out, const wchar_t* text) {
  int i = 0;
  for (; text[i] != L'\0' && i < 1023; ++i) out[i] = text[i];
  out[i] = L'\0';
}

// A carried entry's game file, hashed when it is there. False when the
// close box stopped it.
static bool ReadCarried(HWND dialog, int index) {
  const char* name = settings.files[index].name;
  BuildCopyPaths(kMediumRoot, settings.path, install_dir, name, &paths);
  Look(paths.dest_path);
  if (file.present && !file.unreadable) {
    CopyOutcome outcome = HashFile(wide, BetweenChunks, dialog, file.digest);
    if (outcome == kCopyStopped) return false;
    DWORD error = GetLastError();
    if (outcome == kCopyFailed &&
        (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION)) {
      if (in_use.count < kListedNames) CopyWide(in_use_paths[in_use.count], wide);
      AddName(&in_use, name);
      return true;
    }
    file.unreadable = outcome != kCopyDone;
  }
  JudgeCarried(index, file);
  return true;
}

static void StartIdentify(HWND dialog);

// Retry starts the whole pass again; Cancel ends the run, nothing written.
static void AskAboutFilesInUse(HWND dialog) {
  FormatFilesInUse(in_use, in_use_paths, in_use_text, sizeof in_use_text);
  if (AskRetry(dialog, in_use_text, kCaptionUpdateFailed)) {
    StartIdentify(dialog);
  } else {
    EndIdentify(dialog, true);
  }
}

// One file: a carried one hashed, else an uncarried one sized; at the end
// the verdict. False when there is nothing left or the run ended.
static bool IdentifyNextFile(HWND dialog) {
  if (next_carried < carried_count) {
    if (!ReadCarried(dialog, carried[next_carried++])) return false;
    FinishEntryProgress(dialog);
    return true;
  }
  if (NextUncarriedPath(install_dir, paths.dest_path, sizeof paths.dest_path)) {
    Look(paths.dest_path);
    JudgeUncarried(file);
    return true;
  }
  FillProgress(dialog);
  if (in_use.count > 0) {
    AskAboutFilesInUse(dialog);
    return false;
  }
  identify_outcome = GameVerdict();
  // Entries the copy will refuse, and file lines the list could not hold,
  // were never applied: the copy goes on and reports them.
  if (identify_outcome == kIdentifyApplied && (refused_count > 0 || CountLeftOut(kCopyMask) > 0))
    identify_outcome = kIdentifyUpdate;
  EndIdentify(dialog, false);
  return false;
}

// Files until the step's time is up, as the copy steps.
static void RunIdentifyStep(HWND dialog) {
  step_mark = step_count;
  double started = NowMs();
  do {
    if (!IdentifyNextFile(dialog)) return;
  } while (StepHasTime(started, NowMs()));
  ++step_count;
  DWORD queued = HIWORD(GetQueueStatus(kOvertakenByPost));
  if (ChooseNextStepBy(queued) == kPostNextStep) {
    PostMessageW(dialog, WM_COMMAND, ID_IDENTIFY_STEP, 0);
  }
}

// From the timer and from a posted ID_IDENTIFY_STEP. Either may come while
// a step runs (its chunks pump messages) and then starts nothing. The
// dialog is shown only once its queue is empty: no step runs unseen.
static void RequestStep(HWND dialog) {
  if (step_count != step_mark && !ended && IsWindowVisible(dialog)) RunIdentifyStep(dialog);
}

static void StartIdentify(HWND dialog) {
  identify_closed = true;
  ClearNameList(&in_use);
  ClearAlreadyNew();
  StartJudging(&unknown_files);
  step_count = 0;
  step_mark = -1;
  ended = false;
  PlanIdentify(dialog);
  // The first step waits for the tick, after the dialog is shown.
  SetTimer(dialog, kIdentifyTimer, kStepTimerMs, nullptr);
}

INT_PTR CALLBACK IdentifyDialog(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      StartIdentify(dialog);
      return TRUE;
    case WM_TIMER:
      RequestStep(dialog);
      return FALSE;
    case WM_ENDSESSION:  // nothing has been written: the run just ends
      if (wparam) EndIdentify(dialog, true);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wparam)) {
        case ID_IDENTIFY_STEP:  // posted by a step when nothing else waited
          RequestStep(dialog);
          return FALSE;
        case IDCANCEL:  // the close box, or Escape
          EndIdentify(dialog, true);
          return TRUE;
      }
      return FALSE;
  }
  return FALSE;
}
