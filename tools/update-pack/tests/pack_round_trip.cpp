// Runs one whole update on a packed medium, as a user would, and says how
// it ended:
//   pack_round_trip.exe [--browse] [--answers] UPDATE_EXE MEDIUM_DIR TITLE [DAMAGED]
// Starts UPDATE_EXE in MEDIUM_DIR, presses 開始 in the UPDATE dialog with the
// recorded game folder, and expects the completion message captioned with
// TITLE, then exit code 1. Any other message (a failed copy) fails the run.
// With DAMAGED (a file's path on the medium, as the updater shows it) the
// copy must refuse that one file as damaged, and the end message count it.
// With --browse the recorded game folder is picked again in the folder
// browser first, which maps the shell's DLLs. With --answers the copy dialog
// is asked with WM_NULL throughout the copy, and the run fails when it is
// slow to answer more than now and then.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "driver.h"

namespace {

constexpr DWORD kWaitMs = 60000;
// The whole copy, of thousands of files at one a tick: a bound on failure,
// not on the pace.
constexpr DWORD kCopyWaitMs = 600000;
// Loose bounds: they catch a copy that holds the dialog for the whole list,
// not a slow one. A flush on a disk that other programs write to can wait
// for their data too, so now and then one answer is late.
constexpr double kSlowAnswerMs = 250;
constexpr size_t kLateAnswersAllowed = 2;
constexpr double kLatestAnswerMs = 2000;
constexpr DWORD kAskEveryMs = 10;

[[noreturn]] void Fail(const std::string& why, DWORD pid) {
  std::printf("pack_round_trip: FAILED: %s\n%s", why.c_str(), e2e::DescribeWindows(pid).c_str());
  std::fflush(stdout);
  std::exit(1);
}

// Asks the copy dialog, while it is up, how soon it answers; fails the run
// when it was slow more than now and then. The dialog may not be up yet
// when 開始 was just pressed, and is gone once the end message shows.
void WatchAnswers(DWORD pid) {
  HWND copy = e2e::WaitWindow(pid, e2e::Kind::kCopy, kWaitMs);
  if (!copy) Fail("no copy dialog", pid);
  std::vector<double> answers;
  const DWORD began = GetTickCount();
  while (IsWindow(copy) && !e2e::FindWindowOf(pid, e2e::Kind::kMessage) &&
         GetTickCount() - began < kCopyWaitMs) {
    double ms = 0;
    const bool answered = e2e::TimeAnswer(copy, 5000, &ms);
    if (!answered && !IsWindow(copy)) break;
    answers.push_back(answered ? ms : 5000);
    Sleep(kAskEveryMs);
  }
  double worst = 0;
  size_t late = 0;
  for (double ms : answers) {
    worst = std::max(worst, ms);
    late += ms > kSlowAnswerMs ? 1 : 0;
  }
  std::printf("pack_round_trip: %zu answers during the copy, worst %.1f ms, %zu over %.0f ms\n",
              answers.size(), worst, late, kSlowAnswerMs);
  if (answers.size() < 10) Fail("the copy went by too fast to be watched, or held the dialog", pid);
  if (late > kLateAnswersAllowed || worst > kLatestAnswerMs)
    Fail("the copy dialog answered late", pid);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const bool browse = argc > 1 && std::wstring(argv[1]) == L"--browse";
  if (browse) {
    --argc;
    ++argv;
  }
  const bool answers = argc > 1 && std::wstring(argv[1]) == L"--answers";
  if (answers) {
    --argc;
    ++argv;
  }
  if (argc != 4 && argc != 5) {
    std::printf(
        "usage: pack_round_trip [--browse] [--answers] UPDATE_EXE MEDIUM_DIR TITLE [DAMAGED]\n");
    return 2;
  }
  std::wstring complete = L"ＵＰＤＡＴＥが完了しました。";
  std::wstring caption = std::wstring(argv[3]) + L"のＵＰＤＡＴＥ";
  if (argc == 5) {
    complete = L"ＵＰＤＡＴＥは終了しましたが、1個のファイルをコピーできませんでした。";
    caption = L"ＵＰＤＡＴＥの失敗";
  }
  e2e::Program program;
  if (!e2e::Start(argv[1], argv[2], &program)) Fail("update.exe did not start", 0);
  DWORD pid = program.pid;
  HWND dialog = e2e::WaitWindow(pid, e2e::Kind::kUpdate, kWaitMs);
  if (!dialog) Fail("no UPDATE dialog", pid);
  const std::wstring game = e2e::ItemText(dialog, 1001);
  std::printf("pack_round_trip: game folder %s\n", e2e::Utf8(game).c_str());
  if (browse) {
    e2e::PostCommand(dialog, 1000);
    HWND browser = e2e::WaitWindow(pid, e2e::Kind::kBrowser, kWaitMs);
    if (!browser) Fail("no folder browser", pid);
    if (!e2e::BrowserSelectUntilShown(browser, game, kWaitMs))
      Fail("the browser never showed", pid);
    e2e::PressOk(browser);
    if (!e2e::WaitGone(browser, kWaitMs)) Fail("the folder browser stayed", pid);
  }
  e2e::PostCommand(dialog, IDOK);
  if (answers) WatchAnswers(pid);

  e2e::MessageBoxView box;
  if (argc == 5) {
    const std::wstring damaged = std::wstring(argv[4]) + L"は壊れているか、書き換えられています。";
    if (!e2e::WaitMessageBox(pid, kWaitMs, &box)) Fail("no message for the damaged file", pid);
    if (box.text != damaged || box.caption != L"ファイルコピー失敗") {
      Fail("the copy said " + e2e::Utf8(box.caption) + ": " + e2e::Utf8(box.text), pid);
    }
    std::printf("pack_round_trip: %s: %s\n", e2e::Utf8(box.caption).c_str(),
                e2e::Utf8(box.text).c_str());
    e2e::PressOk(box.window);
    if (!e2e::WaitGone(box.window, kWaitMs)) Fail("the copy failure box stayed", pid);
  }
  if (!e2e::WaitMessageBox(pid, kCopyWaitMs, &box)) Fail("no message at the end", pid);
  std::string said = e2e::Utf8(box.caption) + ": " + e2e::Utf8(box.text);
  if (box.text != complete || box.caption != caption) Fail("the update said " + said, pid);
  e2e::PressOk(box.window);
  DWORD code = 0;
  if (!e2e::WaitExit(program, kWaitMs, &code)) Fail("update.exe did not end", pid);
  e2e::Stop(&program);
  if (code != 1) Fail("exit code " + std::to_string(code) + ", not 1", pid);
  std::printf("pack_round_trip: %s\n", said.c_str());
  return 0;
}
