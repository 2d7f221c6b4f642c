#include "driver.h"

#include <commctrl.h>
#include <tlhelp32.h>

#include <cstdio>
#include <vector>

namespace e2e {

namespace {

constexpr int kEditId = 1001;
constexpr int kStatusId = 1009;
constexpr int kStaticId = 0xFFFF;
// A window that does not answer within this time is taken as hung.
constexpr UINT kSendTimeoutMs = 5000;

struct EnumState {
  DWORD pid;
  std::vector<HWND>* windows;
};

BOOL CALLBACK CollectTop(HWND window, LPARAM param) {
  auto* state = reinterpret_cast<EnumState*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid == state->pid && IsWindowVisible(window)) state->windows->push_back(window);
  return TRUE;
}

BOOL CALLBACK CollectChild(HWND window, LPARAM param) {
  reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
  return TRUE;
}

std::vector<HWND> Children(HWND window) {
  std::vector<HWND> children;
  EnumChildWindows(window, CollectChild, reinterpret_cast<LPARAM>(&children));
  return children;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[256] = L"";
  GetClassNameW(window, name, 256);
  return name;
}

bool HasChildOfClass(HWND window, const wchar_t* class_name) {
  for (HWND child : Children(window)) {
    if (ClassOf(child) == class_name) return true;
  }
  return false;
}

// Memory in another process, freed when it goes out of scope.
class RemoteBuffer {
 public:
  RemoteBuffer(HWND window, const void* data, size_t size) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, pid);
    if (!process_) return;
    address_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (address_ && !WriteProcessMemory(process_, address_, data, size, nullptr)) {
      VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
      address_ = nullptr;
    }
  }
  ~RemoteBuffer() {
    if (address_) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
    if (process_) CloseHandle(process_);
  }
  RemoteBuffer(const RemoteBuffer&) = delete;
  RemoteBuffer& operator=(const RemoteBuffer&) = delete;
  void* address() const { return address_; }

 private:
  HANDLE process_ = nullptr;
  void* address_ = nullptr;
};

bool SendSelection(HWND browser, BOOL is_path, const void* data, size_t size) {
  RemoteBuffer remote(browser, data, size);
  if (!remote.address()) return false;
  DWORD_PTR result = 0;
  return SendMessageTimeoutW(browser, BFFM_SETSELECTIONW, is_path,
                             reinterpret_cast<LPARAM>(remote.address()), SMTO_NORMAL,
                             kSendTimeoutMs, &result) != 0;
}

}  // namespace

bool Start(const std::wstring& exe, const std::wstring& dir, Program* out) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  // No standard handles: the program's one console line (no update.ini) is
  // meant for nobody.
  startup.dwFlags = STARTF_USESTDHANDLES;
  PROCESS_INFORMATION info = {};
  std::wstring command = L"\"" + exe + L"\"";
  // Wine now and then fails to create a process with an internal error
  // (seen once in some five hundred starts) before any of the program's
  // code runs: that says nothing of the program, so it is tried again.
  for (int attempt = 1;; ++attempt) {
    if (CreateProcessW(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(),
                       &startup, &info)) {
      break;
    }
    DWORD error = GetLastError();
    if (error != ERROR_INTERNAL_ERROR || attempt == 3) {
      SetLastError(error);
      return false;
    }
    fprintf(stderr, "Start: CreateProcessW failed with Wine's internal error %lu; again\n",
            static_cast<unsigned long>(error));
    Sleep(100);
  }
  CloseHandle(info.hThread);
  out->process = info.hProcess;
  out->pid = info.dwProcessId;
  return true;
}

void Stop(Program* program) {
  if (!program->process) return;
  if (IsRunning(*program)) {
    TerminateProcess(program->process, 99);
    WaitForSingleObject(program->process, 10000);
  }
  CloseHandle(program->process);
  program->process = nullptr;
}

bool IsRunning(const Program& program) {
  return program.process && WaitForSingleObject(program.process, 0) == WAIT_TIMEOUT;
}

namespace {

// Suspends (or resumes) every thread of the program; false when one could
// not be. A suspended thread is known to have stopped only once its context
// can be read: Wine stops it by a signal, after SuspendThread has returned.
bool SuspendThreads(const Program& program, bool suspend) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return false;
  THREADENTRY32 entry;
  entry.dwSize = sizeof entry;
  bool all = true;
  int found = 0;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID != program.pid) continue;
    ++found;
    HANDLE thread =
        OpenThread(THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT, FALSE, entry.th32ThreadID);
    if (!thread) {
      all = false;
      continue;
    }
    if (suspend) {
      CONTEXT context;
      context.ContextFlags = CONTEXT_CONTROL;
      all &= SuspendThread(thread) != static_cast<DWORD>(-1) && GetThreadContext(thread, &context);
    } else {
      all &= ResumeThread(thread) != static_cast<DWORD>(-1);
    }
    CloseHandle(thread);
  }
  CloseHandle(snapshot);
  return all && found > 0;
}

}  // namespace

bool Freeze(const Program& program) {
  return SuspendThreads(program, true);
}

bool Thaw(const Program& program) {
  return SuspendThreads(program, false);
}

bool WaitExit(const Program& program, DWORD timeout_ms, DWORD* code) {
  if (WaitForSingleObject(program.process, timeout_ms) != WAIT_OBJECT_0) return false;
  return GetExitCodeProcess(program.process, code) != 0;
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeout_ms, DWORD poll_ms) {
  DWORD start = GetTickCount();
  while (true) {
    if (condition()) return true;
    if (GetTickCount() - start >= timeout_ms) return condition();
    Sleep(poll_ms);
  }
}

const char* KindName(Kind kind) {
  switch (kind) {
    case Kind::kNone:
      return "none";
    case Kind::kUpdate:
      return "UPDATE";
    case Kind::kCopy:
      return "FILECOPY";
    case Kind::kIdentify:
      return "IDENTIFY";
    case Kind::kMessage:
      return "message box";
    case Kind::kBrowser:
      return "folder browser";
    case Kind::kOther:
      return "other";
  }
  return "?";
}

std::vector<HWND> TopWindows(DWORD pid) {
  std::vector<HWND> windows;
  EnumState state = {pid, &windows};
  EnumWindows(CollectTop, reinterpret_cast<LPARAM>(&state));
  return windows;
}

Kind KindOf(HWND window) {
  if (!IsWindow(window)) return Kind::kNone;
  if (ClassOf(window) != L"#32770") return Kind::kOther;
  if (GetDlgItem(window, kEditId)) return Kind::kUpdate;
  if (GetDlgItem(window, kStatusId)) return Kind::kCopy;
  // The copy's bar without its status text.
  if (GetDlgItem(window, kCopyProgressId)) return Kind::kIdentify;
  if (HasChildOfClass(window, L"SysTreeView32")) return Kind::kBrowser;
  // A box has OK, or Retry and Cancel.
  if (GetDlgItem(window, kStaticId) && (GetDlgItem(window, IDOK) || GetDlgItem(window, IDRETRY)))
    return Kind::kMessage;
  return Kind::kOther;
}

HWND FindWindowOf(DWORD pid, Kind kind) {
  for (HWND window : TopWindows(pid)) {
    if (KindOf(window) == kind) return window;
  }
  return nullptr;
}

HWND WaitWindow(DWORD pid, Kind kind, DWORD timeout_ms) {
  HWND found = nullptr;
  WaitUntil([&] { return (found = FindWindowOf(pid, kind)) != nullptr; }, timeout_ms);
  return found;
}

std::string DescribeWindows(DWORD pid) {
  std::string out;
  for (HWND window : TopWindows(pid)) {
    out += std::string("[") + KindName(KindOf(window)) + "] \"" + Utf8(WindowText(window)) + "\"";
    for (HWND child : Children(window)) {
      std::wstring text = WindowText(child);
      if (!text.empty()) out += " | " + Utf8(text);
    }
    out += "\n";
  }
  return out.empty() ? "(no visible window)\n" : out;
}

std::wstring WindowText(HWND window) {
  std::vector<wchar_t> text(4096, L'\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                           SMTO_NORMAL, kSendTimeoutMs, &copied)) {
    return L"<no answer>";
  }
  return std::wstring(text.data(), copied);
}

std::wstring ItemText(HWND dialog, int id) {
  HWND item = GetDlgItem(dialog, id);
  return item ? WindowText(item) : L"<no control>";
}

bool SetItemText(HWND dialog, int id, const std::wstring& text) {
  HWND item = GetDlgItem(dialog, id);
  DWORD_PTR result = 0;
  return item &&
         SendMessageTimeoutW(item, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                             SMTO_NORMAL, kSendTimeoutMs, &result) &&
         result;
}

bool HasChildWithText(HWND window, const std::wstring& text) {
  for (HWND child : Children(window)) {
    if (WindowText(child) == text) return true;
  }
  return false;
}

bool ReadMessageBox(HWND window, MessageBoxView* out) {
  if (KindOf(window) != Kind::kMessage) return false;
  out->window = window;
  out->owner = GetWindow(window, GW_OWNER);
  out->caption = WindowText(window);
  out->text = ItemText(window, kStaticId);
  return true;
}

bool WaitMessageBox(DWORD pid, DWORD timeout_ms, MessageBoxView* out) {
  HWND box = WaitWindow(pid, Kind::kMessage, timeout_ms);
  return box && ReadMessageBox(box, out);
}

bool PostCommand(HWND dialog, int id) {
  HWND button = GetDlgItem(dialog, id);
  return PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                      reinterpret_cast<LPARAM>(button)) != 0;
}

bool PressOk(HWND window) {
  return PostCommand(window, IDOK);
}

bool PressKey(HWND target, UINT virtual_key) {
  UINT scan = MapVirtualKeyW(virtual_key, MAPVK_VK_TO_VSC);
  return PostMessageW(target, WM_KEYDOWN, virtual_key, 1 | (scan << 16)) &&
         PostMessageW(target, WM_KEYUP, virtual_key, 1 | (scan << 16) | 0xC0000000u);
}

bool PressCloseBox(HWND window) {
  return PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0) != 0;
}

bool WaitGone(HWND window, DWORD timeout_ms) {
  return WaitUntil([&] { return !IsWindow(window) || !IsWindowVisible(window); }, timeout_ms);
}

double NowMs() {
  LARGE_INTEGER frequency, count;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&count);
  return static_cast<double>(count.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

bool TimeAnswer(HWND window, UINT timeout_ms, double* ms) {
  double start = NowMs();
  DWORD_PTR result = 0;
  bool answered = SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, timeout_ms, &result) != 0;
  *ms = NowMs() - start;
  return answered;
}

bool ReadProgress(HWND dialog, int* position, int* end) {
  HWND bar = GetDlgItem(dialog, kCopyProgressId);
  DWORD_PTR pos = 0;
  DWORD_PTR top = 0;
  // With no PBRANGE to fill, PBM_GETRANGE returns the upper limit itself.
  if (!bar || !SendMessageTimeoutW(bar, PBM_GETPOS, 0, 0, SMTO_NORMAL, kSendTimeoutMs, &pos) ||
      !SendMessageTimeoutW(bar, PBM_GETRANGE, FALSE, 0, SMTO_NORMAL, kSendTimeoutMs, &top)) {
    return false;
  }
  *position = static_cast<int>(pos);
  *end = static_cast<int>(top);
  return true;
}

bool BrowserSelectPath(HWND browser, const std::wstring& path) {
  return SendSelection(browser, TRUE, path.c_str(), (path.size() + 1) * sizeof(wchar_t));
}

bool BrowserSelectItem(HWND browser, PCIDLIST_ABSOLUTE item) {
  return SendSelection(browser, FALSE, item, ILGetSize(item));
}

bool BrowserSelectUntilShown(HWND browser, const std::wstring& path, DWORD timeout_ms) {
  return WaitUntil(
      [&] { return BrowserSelectPath(browser, path) && HasChildWithText(browser, path); },
      timeout_ms, 100);
}

std::string ToCp932(const std::wstring& text) {
  if (text.empty()) return std::string();
  int size = WideCharToMultiByte(932, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                 nullptr, nullptr);
  std::string out(size, '\0');
  WideCharToMultiByte(932, 0, text.data(), static_cast<int>(text.size()), &out[0], size, nullptr,
                      nullptr);
  return out;
}

std::wstring FromCp932(const std::string& bytes) {
  if (bytes.empty()) return std::wstring();
  int size = MultiByteToWideChar(932, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring out(size, L'\0');
  MultiByteToWideChar(932, 0, bytes.data(), static_cast<int>(bytes.size()), &out[0], size);
  return out;
}

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return std::string();
  int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                 nullptr, nullptr);
  std::string out(size, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size,
                      nullptr, nullptr);
  return out;
}

}  // namespace e2e
