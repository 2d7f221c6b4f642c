// Runs one whole update for the demo and asks for a screenshot of each window:
//   demo_driver.exe UPDATE_EXE MEDIUM_DIR SHOTS_DIR [--hold GAME_FILE]
// For each screenshot it writes SHOTS_DIR\NN-name.request and waits until the
// script that takes screenshots has renamed it to NN-name.done.
// With --hold, GAME_FILE is held open as a running game holds it when 開始 is
// pressed, so the run first shows its files-in-use box; the file is let go
// and 再試行 pressed, and the update goes on.
#include <cstdio>
#include <string>

#include "driver.h"

namespace {

constexpr DWORD kWaitMs = 30000;

std::wstring shots_dir;
int shot_number = 0;

void Say(const std::string& line) {
  std::printf("demo: %s\n", line.c_str());
  std::fflush(stdout);
}

[[noreturn]] void Fail(const std::string& why, DWORD pid) {
  Say("FAILED: " + why);
  std::printf("%s", e2e::DescribeWindows(pid).c_str());
  std::exit(2);
}

// Wine hands a window's pixels to the X server when the owning thread goes
// idle, so the picture is taken a moment after the last change.
void Settle() {
  e2e::WaitUntil([] { return false; }, 300);
}

// Asks for a screenshot and waits for it. With freeze, the program's thread
// is held still meanwhile, so that the copy dialog does not move on.
void Shot(HWND window, const std::string& name, bool freeze, DWORD pid) {
  HANDLE thread = nullptr;
  if (freeze) {
    // A moment for the status text last set to be painted.
    e2e::WaitUntil([] { return false; }, 35, 5);
    thread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, GetWindowThreadProcessId(window, nullptr));
    if (thread) SuspendThread(thread);
  } else {
    Settle();
  }
  char number[8];
  std::snprintf(number, sizeof number, "%02d", ++shot_number);
  std::wstring base = shots_dir + L"\\" + std::wstring(number, number + 2) + L"-" +
                      std::wstring(name.begin(), name.end());
  HANDLE request = CreateFileW((base + L".request").c_str(), GENERIC_WRITE, 0, nullptr,
                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (request == INVALID_HANDLE_VALUE) Fail("cannot write the screenshot request", pid);
  CloseHandle(request);
  bool done = e2e::WaitUntil(
      [&] { return GetFileAttributesW((base + L".done").c_str()) != INVALID_FILE_ATTRIBUTES; },
      kWaitMs, 50);
  if (thread) {
    ResumeThread(thread);
    CloseHandle(thread);
  }
  if (!done) Fail("no screenshot taken for " + name, pid);
  Say("screenshot " + std::string(number) + "-" + name);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  bool hold = argc == 6 && std::wstring(argv[4]) == L"--hold";
  if (argc != 4 && !hold) {
    std::printf("usage: demo_driver UPDATE_EXE MEDIUM_DIR SHOTS_DIR [--hold GAME_FILE]\n");
    return 2;
  }
  shots_dir = argv[3];
  e2e::Program program;
  if (!e2e::Start(argv[1], argv[2], &program)) Fail("update.exe did not start", 0);
  DWORD pid = program.pid;

  HWND dialog = e2e::WaitWindow(pid, e2e::Kind::kUpdate, kWaitMs);
  if (!dialog) Fail("no UPDATE dialog", pid);
  std::wstring folder = e2e::ItemText(dialog, 1001);
  Say("UPDATE: \"" + e2e::Utf8(e2e::WindowText(dialog)) + "\", game folder " + e2e::Utf8(folder));
  Shot(dialog, "update-dialog", false, pid);

  e2e::PostCommand(dialog, 1000);
  HWND browser = e2e::WaitWindow(pid, e2e::Kind::kBrowser, kWaitMs);
  if (!browser) Fail("no folder browser", pid);
  bool selected = e2e::BrowserSelectUntilShown(browser, folder, kWaitMs);
  if (!selected) Fail("the folder browser did not select " + e2e::Utf8(folder), pid);
  Shot(browser, "folder-browser", false, pid);
  e2e::PressOk(browser);
  if (!e2e::WaitGone(browser, kWaitMs)) Fail("the folder browser stayed open", pid);
  Say("picked " + e2e::Utf8(e2e::ItemText(dialog, 1001)));

  // Read sharing, as a running program's own files have: the updater can read
  // the file but not open it for writing.
  HANDLE held = INVALID_HANDLE_VALUE;
  if (hold) {
    held = CreateFileW(argv[5], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
    if (held == INVALID_HANDLE_VALUE) Fail("cannot hold " + e2e::Utf8(argv[5]), pid);
  }
  e2e::PostCommand(dialog, IDOK);
  if (hold) {
    e2e::MessageBoxView in_use;
    if (!e2e::WaitMessageBox(pid, kWaitMs, &in_use)) Fail("no files-in-use box", pid);
    Say("message \"" + e2e::Utf8(in_use.text) + "\"");
    if (!GetDlgItem(in_use.window, IDRETRY)) Fail("the box has no retry button", pid);
    Shot(in_use.window, "in-use", false, pid);
    CloseHandle(held);
    e2e::PostCommand(in_use.window, IDRETRY);
    if (!e2e::WaitGone(in_use.window, kWaitMs)) Fail("the files-in-use box stayed open", pid);
  }
  HWND copy = e2e::WaitWindow(pid, e2e::Kind::kCopy, kWaitMs);
  if (!copy) Fail("no FILECOPY dialog", pid);
  e2e::WaitUntil([&] { return !e2e::ItemText(copy, 1009).empty(); }, kWaitMs, 2);
  // A copy that lasts long enough (a large file on the medium) is shown with
  // its bar under way; the demo's small files are copied before it moves.
  e2e::WaitUntil(
      [&] {
        int position = 0;
        int end = 0;
        return !e2e::ReadProgress(copy, &position, &end) || end == 0 ||
               (position * 3 >= end && position < end);
      },
      3000, 2);
  Say("FILECOPY: " + e2e::Utf8(e2e::ItemText(copy, 1009)));
  // The demo's own files take a moment: the copy may be over already, and a
  // picture now would show the closing message under the copy dialog's name.
  // The handle alone does not tell: the closing message may have taken it.
  if (e2e::KindOf(copy) == e2e::Kind::kCopy) {
    Shot(copy, "filecopy", true, pid);
  } else {
    Say("the copy ended before its screenshot (DEMO_LARGE_MB makes it last)");
  }

  e2e::MessageBoxView box;
  if (!e2e::WaitMessageBox(pid, kWaitMs, &box)) Fail("no closing message", pid);
  Say("message \"" + e2e::Utf8(box.text) + "\", caption \"" + e2e::Utf8(box.caption) + "\"");
  Shot(box.window, "message", false, pid);
  e2e::PressOk(box.window);

  DWORD code = 0;
  if (!e2e::WaitExit(program, kWaitMs, &code)) Fail("update.exe did not end", pid);
  Say("update.exe ended with exit code " + std::to_string(code));
  e2e::Stop(&program);
  return 0;
}
