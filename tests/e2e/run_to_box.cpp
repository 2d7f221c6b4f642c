// Runs one update on a medium as a user would, up to the box that ends it,
// and requires that box:
//   run_to_box.exe [--at-start] UPDATE_EXE MEDIUM_DIR CAPTION TEXT
// Starts UPDATE_EXE in MEDIUM_DIR, presses 開始 in the UPDATE dialog with the
// recorded game folder, and expects the first message box to say TEXT (in
// which "\n" stands for a line break) under CAPTION, then exit code 1.
// With --at-start the box comes before the UPDATE dialog.
// Any other box fails the run, and is pressed so that the program ends.
#include <cstdio>
#include <string>

#include "driver.h"

namespace {

constexpr DWORD kWaitMs = 60000;
// Hashing and copying a game: a bound on failure, not on the pace.
constexpr DWORD kRunWaitMs = 600000;

[[noreturn]] void Fail(const std::string& why, e2e::Program* program) {
  std::printf("run_to_box: FAILED: %s\n%s", why.c_str(),
              e2e::DescribeWindows(program->pid).c_str());
  std::fflush(stdout);
  e2e::Stop(program);
  std::exit(1);
}

std::wstring Unescape(const std::wstring& text) {
  std::wstring out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'\\' && i + 1 < text.size() && text[i + 1] == L'n') {
      out += L'\n';
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const bool at_start = argc > 1 && std::wstring(argv[1]) == L"--at-start";
  if (at_start) {
    --argc;
    ++argv;
  }
  if (argc != 5) {
    std::printf("usage: run_to_box [--at-start] UPDATE_EXE MEDIUM_DIR CAPTION TEXT\n");
    return 2;
  }
  const std::wstring caption = argv[3];
  const std::wstring text = Unescape(argv[4]);
  e2e::Program program;
  if (!e2e::Start(argv[1], argv[2], &program)) Fail("update.exe did not start", &program);
  if (!at_start) {
    HWND dialog = e2e::WaitWindow(program.pid, e2e::Kind::kUpdate, kWaitMs);
    if (!dialog) Fail("no UPDATE dialog", &program);
    e2e::PostCommand(dialog, IDOK);
  }

  e2e::MessageBoxView box;
  if (at_start) {
    // The UPDATE dialog instead of the box: the medium was taken.
    HWND first = nullptr;
    e2e::WaitUntil(
        [&] {
          first = e2e::FindWindowOf(program.pid, e2e::Kind::kMessage);
          if (!first) first = e2e::FindWindowOf(program.pid, e2e::Kind::kUpdate);
          return first != nullptr;
        },
        kWaitMs);
    if (!first || e2e::KindOf(first) != e2e::Kind::kMessage) Fail("no box at start", &program);
  }
  if (!e2e::WaitMessageBox(program.pid, kRunWaitMs, &box)) Fail("no message box", &program);
  std::string said = e2e::Utf8(box.caption) + ": " + e2e::Utf8(box.text);
  std::printf("run_to_box: %s\n", said.c_str());
  if (box.text != text || box.caption != caption) {
    e2e::PressOk(box.window);
    Fail("expected " + e2e::Utf8(caption) + ": " + e2e::Utf8(text), &program);
  }
  // The box stands alone: no dialog of the run is left behind it.
  if (box.owner != nullptr) Fail("the box has an owner", &program);
  e2e::PressOk(box.window);
  DWORD code = 0;
  if (!e2e::WaitExit(program, kWaitMs, &code)) Fail("update.exe did not end", &program);
  e2e::Stop(&program);
  if (code != 1) {
    std::printf("run_to_box: FAILED: exit code %lu, not 1\n", code);
    return 1;
  }
  return 0;
}
