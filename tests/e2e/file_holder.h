// Another program that holds a file open without sharing (hold_file.exe,
// beside the test program), as a running game holds its own files.
#pragma once

#include <string>

#include "driver.h"
#include "scenario.h"

namespace e2e {

class FileHolder {
 public:
  // hold_file.exe, beside the test program.
  static std::wstring HoldFileExe() {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring exe = self;
    return exe.substr(0, exe.find_last_of(L'\\')) + L"\\hold_file.exe";
  }

  ~FileHolder() {
    if (process_.process) Release();
  }

  // With program, that copy of hold_file.exe runs instead: a game's own
  // program, mapped from the game folder while it holds path.
  bool Hold(const std::wstring& path, const std::wstring& program = L"") {
    std::wstring tag = std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(++count_);
    std::wstring ready_name = L"Local\\copy_faults_ready_" + tag;
    std::wstring release_name = L"Local\\copy_faults_release_" + tag;
    ready_ = CreateEventW(nullptr, TRUE, FALSE, ready_name.c_str());
    release_ = CreateEventW(nullptr, TRUE, FALSE, release_name.c_str());
    if (!ready_ || !release_) return false;
    const std::wstring exe = program.empty() ? HoldFileExe() : program;
    std::wstring command =
        L"\"" + exe + L"\" \"" + path + L"\" " + ready_name + L" " + release_name;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
      return false;
    }
    CloseHandle(info.hThread);
    process_.process = info.hProcess;
    process_.pid = info.dwProcessId;
    HANDLE either[] = {ready_, process_.process};
    return WaitForMultipleObjects(2, either, FALSE, kWaitMs) == WAIT_OBJECT_0;
  }

  bool Holding() const { return IsRunning(process_); }

  // Lets go of the file; true when the helper held it until now.
  bool Release() {
    SetEvent(release_);
    DWORD code = 99;
    bool ended = WaitExit(process_, kWaitMs, &code);
    Stop(&process_);
    CloseHandle(ready_);
    CloseHandle(release_);
    return ended && code == 0;
  }

 private:
  Program process_;
  HANDLE ready_ = nullptr;
  HANDLE release_ = nullptr;
  static inline int count_ = 0;
};

}  // namespace e2e
