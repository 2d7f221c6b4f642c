#include "win/dll_search.h"

#include <windows.h>

#include <delayimp.h>

#include "win/system_dlls.h"

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

static bool SameAsciiName(const char* a, const char* b) {
  for (; *a != '\0' && *b != '\0'; ++a, ++b) {
    char ca = *a >= 'A' && *a <= 'Z' ? static_cast<char>(*a + 32) : *a;
    char cb = *b >= 'A' && *b <= 'Z' ? static_cast<char>(*b + 32) : *b;
    if (ca != cb) return false;
  }
  return *a == *b;
}

// Maps name (".dll" added when it has none) from System32 by its full path.
// The altered search looks for its own imports in System32 before any
// other folder, the program's own included.
static HMODULE LoadFromSystem(const wchar_t* name) {
  wchar_t path[MAX_PATH + 64];
  UINT n = GetSystemDirectoryW(path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return nullptr;
  path[n++] = L'\\';
  int length = 0;
  for (; name[length] != L'\0'; ++length) {
    if (n + length >= MAX_PATH + 58) return nullptr;
    path[n + length] = name[length];
  }
  bool has_extension = length > 4 && (name[length - 4] == L'.') &&
                       (name[length - 3] | 32) == L'd' && (name[length - 2] | 32) == L'l' &&
                       (name[length - 1] | 32) == L'l';
  const wchar_t* extension = has_extension ? L"" : L".dll";
  for (int i = 0; extension[i] != L'\0'; ++i) path[n + length++] = extension[i];
  path[n + length] = L'\0';
  return LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

// The delay-load helper would load each DLL by name; by its System32 path
// a DLL beside the program can never stand in for it. comctl32 is left to
// the helper: version 6 comes through the manifest's activation context,
// which a path into System32 would bypass.
static FARPROC WINAPI LoadDelayedFromSystem(unsigned notify, PDelayLoadInfo info) {
  if (notify != dliNotePreLoadLibrary || info == nullptr || info->szDll == nullptr) return nullptr;
  if (SameAsciiName(info->szDll, "comctl32.dll")) return nullptr;
  wchar_t name[64];
  int i = 0;
  for (; info->szDll[i] != '\0'; ++i) {
    if (i == 63) return nullptr;
    name[i] = static_cast<unsigned char>(info->szDll[i]);
  }
  name[i] = L'\0';
  return reinterpret_cast<FARPROC>(LoadFromSystem(name));
}

// Declared by delayimp.h; this definition takes the place of the runtime's
// empty one.
PfnDliHook __pfnDliNotifyHook2 = LoadDelayedFromSystem;

// SetDllDirectoryW(L"") only takes the current folder out of the search;
// the program's folder stays first. Every DLL the update will map is
// mapped now from System32, so that a later load by name, the system's own
// included, finds it already there.
void RestrictDllSearchWithoutDefaultDirectories() {
  SetDllDirectoryW(L"");
  for (int i = 0; i < kSystemDllCount; ++i) {
    const wchar_t* name = kSystemDllNames[i];
    // Left to the manifest's activation context, as in the delay-load hook.
    bool comctl32 = true;
    for (int c = 0; c < 9 && comctl32; ++c) comctl32 = name[c] == L"comctl32"[c];
    if (!comctl32) LoadFromSystem(name);
  }
}

// The program runs from a medium or a download folder, elevated for
// administrators, and a DLL named like a system one beside it would run
// inside it. SetDefaultDllDirectories is newer than Windows 7 without
// KB2533623, so it is looked up rather than imported.
void RestrictDllSearch() {
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  FARPROC found = kernel ? GetProcAddress(kernel, "SetDefaultDllDirectories") : nullptr;
  auto set_default =
      reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void (*)()>(found));
  if (set_default && set_default(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
  RestrictDllSearchWithoutDefaultDirectories();
}
