// The DLL search where SetDefaultDllDirectories is missing (Windows 7
// without KB2533623), run here on any Windows through the fallback's own
// function. A DLL that would run if loaded is planted beside this program
// under each system name; after the fallback, loads by name (by this
// program, and by system DLLs for their own imports) must map none of them.
// It also holds the delay-load hook to loading from System32.
//   dll_fallback_test.exe PLANTED_DLL
// Plain, without a test framework: the framework's own imports would map
// DLLs before the fallback runs.
#include <windows.h>

#include <delayimp.h>
#include <stdio.h>

#include <string>

#include "win/dll_search.h"
#include "win/system_dlls.h"

namespace {

int failures = 0;

void Fail(const std::wstring& what) {
  fwprintf(stderr, L"FAIL: %ls\n", what.c_str());
  ++failures;
}

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring Lower(std::wstring text) {
  for (wchar_t& c : text) {
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c + 32);
  }
  return text;
}

std::wstring ModulePath(HMODULE module) {
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(module, path, MAX_PATH);
  return n > 0 && n < MAX_PATH ? Lower(path) : L"";
}

std::wstring SystemFolder() {
  wchar_t path[MAX_PATH];
  UINT n = GetSystemDirectoryW(path, MAX_PATH);
  return Lower(std::wstring(path, n)) + L"\\";
}

bool IsComctl32(const std::wstring& name) {
  return name == L"comctl32";
}

// The hook the delay-load helper calls before it maps a DLL.
void CheckDelayLoadHook() {
  DelayLoadInfo info = {};
  info.cb = sizeof info;
  info.szDll = "version.dll";
  HMODULE version = reinterpret_cast<HMODULE>(__pfnDliNotifyHook2(dliNotePreLoadLibrary, &info));
  if (version == nullptr || ModulePath(version).rfind(SystemFolder(), 0) != 0) {
    Fail(L"the delay-load hook did not map version.dll from System32: " + ModulePath(version));
  }
  info.szDll = "COMCTL32.dll";
  if (__pfnDliNotifyHook2(dliNotePreLoadLibrary, &info) != nullptr) {
    Fail(L"the delay-load hook mapped comctl32 itself, past the activation context");
  }
  if (__pfnDliNotifyHook2(dliNotePreGetProcAddress, &info) != nullptr) {
    Fail(L"the delay-load hook answered a notification other than the load");
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    fwprintf(stderr, L"usage: dll_fallback_test.exe PLANTED_DLL\n");
    return 2;
  }
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring folder = self;
  folder = folder.substr(0, folder.find_last_of(L'\\') + 1);

  // comctl32 comes through the program's manifest, which this test has not;
  // a name on no list shows that a planted DLL runs when it is searched for.
  const std::wstring control = L"not_a_system_dll";
  int planted = 0;
  for (int i = 0; i <= kSystemDllCount; ++i) {
    std::wstring name = i < kSystemDllCount ? kSystemDllNames[i] : control;
    if (IsComctl32(name) || GetModuleHandleW((name + L".dll").c_str()) != nullptr) continue;
    std::wstring dll = folder + name + L".dll";
    DeleteFileW((dll + L".ran").c_str());
    if (!CopyFileW(argv[1], dll.c_str(), FALSE)) {
      Fail(L"cannot plant " + dll);
      continue;
    }
    ++planted;
  }

  RestrictDllSearchWithoutDefaultDirectories();

  // By name, as the program and the system DLLs' own imports ask for them.
  // A name that System32 lacks on this Windows is asked for by none of its
  // DLLs; a planted copy of it is not for the fallback to stop.
  int loaded = 0;
  for (int i = 0; i < kSystemDllCount; ++i) {
    std::wstring name = kSystemDllNames[i];
    if (IsComctl32(name) || !Exists(SystemFolder() + name + L".dll")) continue;
    LoadLibraryW((name + L".dll").c_str());
    ++loaded;
  }
  for (int i = 0; i < kSystemDllCount; ++i) {
    std::wstring name = kSystemDllNames[i];
    if (Exists(folder + name + L".dll.ran")) Fail(L"the planted " + name + L".dll ran");
  }
  LoadLibraryW((control + L".dll").c_str());
  if (!Exists(folder + control + L".dll.ran")) {
    Fail(L"the planted control DLL did not run: the test cannot see a planted DLL run");
  }
  CheckDelayLoadHook();

  wprintf(L"dll_fallback_test: %d DLLs planted, %d loaded by name, %d failure(s)\n", planted,
          loaded, failures);
  return failures == 0 ? 0 : 1;
}
