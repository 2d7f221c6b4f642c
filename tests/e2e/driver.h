// Drives update.exe from a second Windows process: starts it, finds its
// windows, reads and sets control texts, presses buttons. Every wait polls
// with a deadline.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <functional>
#include <string>
#include <vector>

namespace e2e {

struct Program {
  HANDLE process = nullptr;
  DWORD pid = 0;
};

// Starts exe with dir as its current directory.
bool Start(const std::wstring& exe, const std::wstring& dir, Program* out);
// Ends the program if it still runs and closes the handle.
void Stop(Program* program);
bool IsRunning(const Program& program);
// Stops every thread of the program, so that its files and windows stay as
// they are while the test looks and posts; Thaw lets it go on. Messages
// posted meanwhile wait in its queue.
bool Freeze(const Program& program);
bool Thaw(const Program& program);
// True when the program ended within timeout_ms; code receives its exit code.
bool WaitExit(const Program& program, DWORD timeout_ms, DWORD* code);

// Polls condition every poll_ms until it holds or timeout_ms has passed.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeout_ms, DWORD poll_ms = 15);

enum class Kind { kNone, kUpdate, kCopy, kIdentify, kMessage, kBrowser, kOther };
const char* KindName(Kind kind);

// Visible top-level windows of the process.
std::vector<HWND> TopWindows(DWORD pid);
Kind KindOf(HWND window);
// The first visible top-level window of that kind, or nullptr.
HWND FindWindowOf(DWORD pid, Kind kind);
HWND WaitWindow(DWORD pid, Kind kind, DWORD timeout_ms);
// One line per window of the process: kind, caption, texts. For failure output.
std::string DescribeWindows(DWORD pid);

std::wstring WindowText(HWND window);
std::wstring ItemText(HWND dialog, int id);
bool SetItemText(HWND dialog, int id, const std::wstring& text);
// True when some control of the window shows exactly text.
bool HasChildWithText(HWND window, const std::wstring& text);

struct MessageBoxView {
  HWND window = nullptr;
  HWND owner = nullptr;
  std::wstring text;
  std::wstring caption;
};
bool ReadMessageBox(HWND window, MessageBoxView* out);
// Waits for a message box of the process and reads it.
bool WaitMessageBox(DWORD pid, DWORD timeout_ms, MessageBoxView* out);

// Posts WM_COMMAND with id, as a click on that button would; posting lets a
// handler that opens a modal window run without blocking the driver.
bool PostCommand(HWND dialog, int id);
bool PressOk(HWND window);
// A key press on the window with the keyboard focus in the dialog, as the
// dialog manager sees it (Enter, Escape).
bool PressKey(HWND target, UINT virtual_key);
// The close box of the caption.
bool PressCloseBox(HWND window);
bool WaitGone(HWND window, DWORD timeout_ms);

// How long the window took to answer WM_NULL, in milliseconds; false when it
// did not answer within timeout_ms or is gone.
// A monotonic clock in milliseconds.
double NowMs();
bool TimeAnswer(HWND window, UINT timeout_ms, double* ms);

// The copy dialog's progress bar: its position and the top of its range.
constexpr int kCopyProgressId = 1008;
bool ReadProgress(HWND dialog, int* position, int* end);

// Selects a folder in the shell's folder browser: the path, or the item list,
// is written into the browser's process and sent with BFFM_SETSELECTIONW.
bool BrowserSelectPath(HWND browser, const std::wstring& path);
bool BrowserSelectItem(HWND browser, PCIDLIST_ABSOLUTE item);
// Selects path again until a control of the browser (its status line) shows
// it: the browser may still be filling its tree when it appears.
bool BrowserSelectUntilShown(HWND browser, const std::wstring& path, DWORD timeout_ms);

// UTF-16 <-> code page 932, for writing settings files and comparing bytes.
std::string ToCp932(const std::wstring& text);
std::wstring FromCp932(const std::string& bytes);
std::string Utf8(const std::wstring& text);

}  // namespace e2e
