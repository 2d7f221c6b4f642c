// Times update.exe under Wine from a second Windows process, one measurement
// per call, so that the calling script can clean up and flush the disk
// between runs and interleave them with its own `cp` runs.
//
//   bench_driver update EXE MEDIUM GAME REG_T FILES BYTES
//     Writes the install record (GAMEPATH = GAME), starts EXE in MEDIUM,
//     presses the start button of the UPDATE dialog and times until the
//     completion message is visible. Then checks that GAME holds FILES
//     files of BYTES bytes each. Prints also "peak <bytes>", the peak
//     working set of EXE read while the completion message shows. An
//     update that completes with fewer files (a list longer than the
//     program takes) prints "short <files that arrived>" and exits with 4.
//   bench_driver rerun EXE MEDIUM GAME REG_T
//     As update, on a game folder that the medium has updated already:
//     times until the message that says so.
//   bench_driver startup EXE DIR
//     Times from the process start to the first visible dialog of EXE,
//     then closes it with its cancel command.
//   bench_driver copy step|copyfile SOURCE DEST
//     Times copying every file of folder SOURCE into folder DEST outside
//     the dialog: with the updater's own copy step, or with CopyFileW
//     alone. Tells the copy's cost apart from the timer's.
//   bench_driver answer EXE MEDIUM GAME REG_T
//     Runs an update as "update" does and, from the first file that
//     appears in GAME until the completion message, sends the copy dialog
//     WM_NULL every 10 ms as another program would. Prints the worst
//     answer as "ms", the number of answers slower than 100 ms as "slow"
//     and the number of different progress bar positions seen. A dialog
//     that does not answer for 10 s counts as a 10 s answer.
//
// Prints "ms <milliseconds>" on success. When EXE shows a message box
// instead of its UPDATE dialog (a medium it cannot take), prints
// "refused <text>" in UTF-8 and exits with 3; anything else is an error.
#include <windows.h>
#include <psapi.h>

#include <stdio.h>
#include <wchar.h>

#include <algorithm>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "copy/safe_replace.h"
#include "driver.h"
#include "win/sha256.h"
#include "win/wide_text.h"

namespace {

constexpr DWORD kPollMs = 1;
constexpr DWORD kDesktopSettleMs = 500;
constexpr DWORD kUiWaitMs = 60000;
// Tens of thousands of files under Wine on a busy machine: a bound on
// failure, not on the pace.
constexpr DWORD kUpdateTimeoutMs = 1800000;
const wchar_t kTextComplete[] = L"ＵＰＤＡＴＥが完了しました。";
const wchar_t kTextApplied[] = L"このＵＰＤＡＴＥはすでに適用されています。";
constexpr DWORD kProbeEveryMs = 10;
constexpr UINT kAnswerTimeoutMs = 10000;
constexpr double kSlowAnswerMs = 100;
constexpr int kExitRefused = 3;
constexpr int kExitShort = 4;

double Now() {
  static LARGE_INTEGER frequency = {};
  if (frequency.QuadPart == 0) QueryPerformanceFrequency(&frequency);
  LARGE_INTEGER count;
  QueryPerformanceCounter(&count);
  return static_cast<double>(count.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// Polls tightly: EnumWindows every millisecond costs far less than the
// resolution it buys. Returns the first window that match finds and stamps
// the time it was seen.
HWND PollFor(const std::function<HWND()>& match, DWORD timeout_ms, double* seen_at) {
  HWND window = nullptr;
  if (!e2e::WaitUntil([&] { return (window = match()) != nullptr; }, timeout_ms, kPollMs)) {
    return nullptr;
  }
  *seen_at = Now();
  return window;
}

// The first visible dialog of the process, whatever its template.
HWND AnyDialog(DWORD pid) {
  for (HWND window : e2e::TopWindows(pid)) {
    wchar_t name[32] = L"";
    GetClassNameW(window, name, 32);
    if (wcscmp(name, L"#32770") == 0) return window;
  }
  return nullptr;
}

int Fail(const char* what, const e2e::Program& program) {
  fprintf(stderr, "bench_driver: %s\n", what);
  if (program.pid) fprintf(stderr, "%s", e2e::DescribeWindows(program.pid).c_str());
  return 2;
}

// Checks that box is the message expected at the end (the completion
// message unless told), presses its OK and waits for update.exe to end; 0
// when it did, else the driver's exit code.
int EndAtCompletion(HWND box, e2e::Program* program, const wchar_t* expected = kTextComplete) {
  e2e::MessageBoxView view;
  if (!box || !e2e::ReadMessageBox(box, &view) || view.text != expected) {
    int code = Fail("not the message expected at the end", *program);
    e2e::Stop(program);
    return code;
  }
  e2e::PressOk(box);
  DWORD exit_code = 0;
  bool ended = e2e::WaitExit(*program, kUiWaitMs, &exit_code);
  e2e::Stop(program);
  return ended ? 0 : Fail("update.exe did not end", *program);
}

// The peak working set of the process so far, 0 when it cannot be read.
SIZE_T PeakWorkingSet(const e2e::Program& program) {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(program.process, &counters, sizeof counters)) return 0;
  return counters.PeakWorkingSetSize;
}

// Starts exe in medium and waits for its UPDATE dialog. A message box first
// means that the program refused the medium: that is printed, the box
// closed and *code set to kExitRefused. Returns the dialog, or nullptr with
// *code set.
HWND StartToUpdateDialog(const std::wstring& exe, const std::wstring& medium, e2e::Program* program,
                         double* seen_at, int* code) {
  if (!e2e::Start(exe, medium, program)) {
    *code = Fail("cannot start update.exe", *program);
    return nullptr;
  }
  HWND box = nullptr;
  HWND dialog = PollFor(
      [&] {
        HWND update = e2e::FindWindowOf(program->pid, e2e::Kind::kUpdate);
        box = update ? nullptr : e2e::FindWindowOf(program->pid, e2e::Kind::kMessage);
        return update ? update : box;
      },
      kUiWaitMs, seen_at);
  e2e::MessageBoxView view;
  if (box && e2e::ReadMessageBox(box, &view)) {
    printf("refused %s\n", e2e::Utf8(view.text).c_str());
    e2e::PressOk(box);
    DWORD exit_code = 0;
    e2e::WaitExit(*program, kUiWaitMs, &exit_code);
    e2e::Stop(program);
    *code = kExitRefused;
    return nullptr;
  }
  if (!dialog || box) {
    *code = Fail("no UPDATE dialog", *program);
    e2e::Stop(program);
    return nullptr;
  }
  return dialog;
}

bool WriteRecord(const std::wstring& reg_t, const std::wstring& game) {
  std::wstring key_name = L"Software\\CORVID LAMP\\" + reg_t;
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, key_name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                      &key, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  LONG result =
      RegSetValueExW(key, L"GAMEPATH", 0, REG_SZ, reinterpret_cast<const BYTE*>(game.c_str()),
                     static_cast<DWORD>((game.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}

// Counts the files in folder and below that have exactly size bytes.
long CountFiles(const std::wstring& folder, ULONGLONG size) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return 0;
  long count = 0;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (wcscmp(found.cFileName, L".") != 0 && wcscmp(found.cFileName, L"..") != 0)
        count += CountFiles(folder + L"\\" + found.cFileName, size);
      continue;
    }
    ULONGLONG bytes = (static_cast<ULONGLONG>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    if (bytes == size) ++count;
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return count;
}

// Writes the install record of args (EXE MEDIUM GAME REG_T), starts EXE and
// presses the start button; returns the message box that ends the run, its
// time from the press in *took. Null with *code set when the UPDATE dialog
// never came, null with *code 0 when no box did.
HWND PressStartToEnd(wchar_t** args, e2e::Program* program, double* took, int* code) {
  std::wstring exe = args[0], medium = args[1], game = args[2], reg_t = args[3];
  if (!WriteRecord(reg_t, game)) {
    *code = Fail("cannot write the install record", *program);
    return nullptr;
  }
  double seen = 0;
  HWND dialog = StartToUpdateDialog(exe, medium, program, &seen, code);
  if (!dialog) return nullptr;
  double pressed = Now();
  e2e::PostCommand(dialog, IDOK);
  double done = 0;
  HWND box = PollFor([&] { return e2e::FindWindowOf(program->pid, e2e::Kind::kMessage); },
                     kUpdateTimeoutMs, &done);
  *took = done - pressed;
  return box;
}

int TimeUpdate(wchar_t** args) {
  long files = wcstol(args[4], nullptr, 10);
  ULONGLONG bytes = _wcstoui64(args[5], nullptr, 10);
  e2e::Program program;
  double took = 0;
  int code = 0;
  HWND box = PressStartToEnd(args, &program, &took, &code);
  if (code != 0) return code;
  // Read before the program ends, while the completion message holds it.
  SIZE_T peak = box ? PeakWorkingSet(program) : 0;
  if ((code = EndAtCompletion(box, &program)) != 0) return code;
  long copied = CountFiles(args[2], bytes);
  if (copied != files) {
    fprintf(stderr, "bench_driver: %ld of %ld files arrived whole\n", copied, files);
    // Fewer files and no error: the program left out what its list could
    // not hold, and the time says nothing of the medium as listed.
    if (copied < files) printf("short %ld\n", copied);
    return copied < files ? kExitShort : 2;
  }
  printf("ms %.3f\npeak %zu\n", took, static_cast<size_t>(peak));
  return 0;
}

int TimeRerun(wchar_t** args) {
  e2e::Program program;
  double took = 0;
  int code = 0;
  HWND box = PressStartToEnd(args, &program, &took, &code);
  if (code != 0) return code;
  if ((code = EndAtCompletion(box, &program, kTextApplied)) != 0) return code;
  printf("ms %.3f\n", took);
  return 0;
}

// True when folder holds anything besides "." and "..".
bool HasEntries(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  bool any = false;
  do {
    any = wcscmp(found.cFileName, L".") != 0 && wcscmp(found.cFileName, L"..") != 0;
  } while (!any && FindNextFileW(search, &found));
  FindClose(search);
  return any;
}

// The copy dialog of the run once the copy has begun: a temporary copy, or a
// small file already in place, has appeared in the empty game folder. A
// few small files may all be copied before that is seen: then *finished is
// set, as the run's message box shows, and there is nothing to time.
HWND AwaitCopyUnderWay(const e2e::Program& program, const std::wstring& game, bool* finished) {
  HWND copy = nullptr;
  *finished = false;
  e2e::WaitUntil(
      [&] {
        copy = e2e::FindWindowOf(program.pid, e2e::Kind::kCopy);
        if (copy && HasEntries(game)) return true;
        *finished = !copy && e2e::FindWindowOf(program.pid, e2e::Kind::kMessage) != nullptr;
        return *finished;
      },
      kUiWaitMs, kPollMs);
  return *finished ? nullptr : copy;
}

int TimeAnswers(wchar_t** args) {
  std::wstring exe = args[0], medium = args[1], game = args[2], reg_t = args[3];
  e2e::Program program;
  if (!WriteRecord(reg_t, game)) return Fail("cannot write the install record", program);
  double seen = 0;
  int code = 0;
  HWND dialog = StartToUpdateDialog(exe, medium, &program, &seen, &code);
  if (!dialog) return code;
  e2e::PostCommand(dialog, IDOK);
  bool finished = false;
  HWND copy = AwaitCopyUnderWay(program, game, &finished);
  if (!copy && !finished) {
    code = Fail("no copy under way", program);
    e2e::Stop(&program);
    return code;
  }
  double worst = 0;
  std::set<int> positions;
  long samples = 0, slow = 0;
  double ms = 0;
  double give_up = Now() + kUpdateTimeoutMs;
  // The dialog is gone once the list has ended and the message shows. A
  // send that timed out while the dialog still stands is a wait the user
  // saw: it counts, and the probing goes on.
  while (copy) {
    bool answered = e2e::TimeAnswer(copy, kAnswerTimeoutMs, &ms);
    if (!answered && (!IsWindow(copy) || Now() > give_up)) break;
    ++samples;
    worst = std::max(worst, ms);
    if (ms > kSlowAnswerMs) ++slow;
    int position = 0, end = 0;
    if (answered && e2e::ReadProgress(copy, &position, &end)) positions.insert(position);
    Sleep(kProbeEveryMs);
  }
  HWND box = e2e::WaitWindow(program.pid, e2e::Kind::kMessage, kUpdateTimeoutMs);
  if ((code = EndAtCompletion(box, &program)) != 0) return code;
  printf("ms %.3f\nslow %ld\npositions %zu\nsamples %ld\n", worst, slow, positions.size(), samples);
  return 0;
}

int TimeStartup(wchar_t** args) {
  std::wstring exe = args[0], dir = args[1];
  e2e::Program program;
  double started = Now();
  if (!e2e::Start(exe, dir, &program)) return Fail("cannot start the program", program);
  double seen = 0;
  HWND dialog = PollFor([&] { return AnyDialog(program.pid); }, kUiWaitMs, &seen);
  // A message box first would mean the run stopped early (no record, no
  // settings): its time says nothing about start-up.
  if (!dialog || e2e::KindOf(dialog) == e2e::Kind::kMessage) {
    int code = Fail("no dialog", program);
    e2e::Stop(&program);
    return code;
  }
  e2e::PostCommand(dialog, IDCANCEL);
  DWORD exit_code = 0;
  bool ended = e2e::WaitExit(program, kUiWaitMs, &exit_code);
  e2e::Stop(&program);
  if (!ended) return Fail("the program did not end on cancel", program);
  printf("ms %.3f\n", seen - started);
  return 0;
}

// expected: the file's SHA-256, as its line in update.sha256 gives it, or
// null for a medium without the list.
bool CopyWithStep(const std::wstring& source, const std::wstring& dest,
                  const unsigned char* expected = nullptr) {
  char source_path[1024];
  char dest_path[1024];
  bool source_unmappable = false;
  bool dest_unmappable = false;
  return FromWide(source.c_str(), source_path, sizeof source_path, &source_unmappable) &&
         FromWide(dest.c_str(), dest_path, sizeof dest_path, &dest_unmappable) &&
         !source_unmappable && !dest_unmappable &&
         ReplaceWithCopy(source_path, dest_path, nullptr, nullptr, expected) == kCopyDone;
}

// The digest of a file, taken before the timing starts.
bool HashFile(const std::wstring& path, unsigned char* digest) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  static char buffer[1 << 20];
  Sha256 state;
  StartSha256(&state);
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) {
    AddToSha256(&state, buffer, got);
  }
  CloseHandle(file);
  return FinishSha256(&state, digest);
}

bool CopyWithCopyFile(const std::wstring& source, const std::wstring& dest) {
  return CopyFileW(source.c_str(), dest.c_str(), FALSE) != 0;
}

int TimeCopy(wchar_t** args) {
  bool hashed = wcscmp(args[0], L"stephash") == 0;
  bool step = hashed || wcscmp(args[0], L"step") == 0;
  std::wstring source = args[1], dest = args[2];
  WIN32_FIND_DATAW found;
  std::vector<std::wstring> names;
  HANDLE search = FindFirstFileW((source + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return Fail("no source folder", e2e::Program());
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  // With its hash line, the copy hashes what it writes and compares.
  std::vector<unsigned char> digests(names.size() * 32);
  for (size_t i = 0; hashed && i < names.size(); ++i) {
    if (!HashFile(source + L"\\" + names[i], &digests[i * 32])) {
      return Fail("cannot hash a source", e2e::Program());
    }
  }
  double start = Now();
  bool copied = true;
  for (size_t i = 0; i < names.size(); ++i) {
    std::wstring from = source + L"\\" + names[i], to = dest + L"\\" + names[i];
    copied = copied && (step ? CopyWithStep(from, to, hashed ? &digests[i * 32] : nullptr)
                             : CopyWithCopyFile(from, to));
  }
  double end = Now();
  if (!copied) return Fail("a copy failed", e2e::Program());
  printf("ms %.3f\n", end - start);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // Under Wine the desktop is a process of its own (explorer.exe), started
  // by the first call that needs it and ended when the last program is gone.
  // On Windows it is always there, so it is made ready before any timing.
  // The desktop goes on loading its shell for a while after its window
  // exists; the pause keeps that work out of the measurement.
  GetDesktopWindow();
  Sleep(kDesktopSettleMs);
  if (argc == 8 && wcscmp(argv[1], L"update") == 0) return TimeUpdate(argv + 2);
  if (argc == 6 && wcscmp(argv[1], L"rerun") == 0) return TimeRerun(argv + 2);
  if (argc == 4 && wcscmp(argv[1], L"startup") == 0) return TimeStartup(argv + 2);
  if (argc == 5 && wcscmp(argv[1], L"copy") == 0) return TimeCopy(argv + 2);
  if (argc == 6 && wcscmp(argv[1], L"answer") == 0) return TimeAnswers(argv + 2);
  fprintf(stderr,
          "usage: bench_driver update EXE MEDIUM GAME REG_T FILES BYTES\n"
          "       bench_driver rerun EXE MEDIUM GAME REG_T\n"
          "       bench_driver startup EXE DIR\n"
          "       bench_driver copy step|stephash|copyfile SOURCE DEST\n"
          "       bench_driver answer EXE MEDIUM GAME REG_T\n");
  return 2;
}
