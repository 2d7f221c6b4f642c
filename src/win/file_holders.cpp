#include "win/file_holders.h"

#include <windows.h>
#include <restartmanager.h>

#include "preflight/preflight_text.h"
#include "win/wide_text.h"

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

using RmStartSessionFn = DWORD(WINAPI*)(DWORD*, DWORD, WCHAR*);
using RmRegisterResourcesFn = DWORD(WINAPI*)(DWORD, UINT, LPCWSTR*, UINT, RM_UNIQUE_PROCESS*, UINT,
                                             LPCWSTR*);
using RmGetListFn = DWORD(WINAPI*)(DWORD, UINT*, UINT*, RM_PROCESS_INFO*, DWORD*);
using RmEndSessionFn = DWORD(WINAPI*)(DWORD);

// Programs named in one box; more than this many holders are rare.
constexpr UINT kMostHolders = 8;
static RM_PROCESS_INFO holders[kMostHolders];

template <typename Fn>
static Fn Lookup(HMODULE module, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

static void ListHolders(HMODULE rm, DWORD session, const wchar_t* const* paths, unsigned count,
                        char* out, size_t size) {
  auto register_resources = Lookup<RmRegisterResourcesFn>(rm, "RmRegisterResources");
  auto get_list = Lookup<RmGetListFn>(rm, "RmGetList");
  if (!register_resources || !get_list) return;
  if (register_resources(session, count, const_cast<LPCWSTR*>(paths), 0, nullptr, 0, nullptr) !=
      ERROR_SUCCESS) {
    return;
  }
  UINT needed = 0;
  UINT listed = kMostHolders;
  DWORD reasons = 0;
  // With more holders than fit, none are listed: the box then names the game.
  if (get_list(session, &needed, &listed, holders, &reasons) != ERROR_SUCCESS) return;
  for (UINT i = 0; i < listed && i < kMostHolders; ++i) {
    char name[512];
    // A character code page 932 cannot spell shows as "?": the name is only
    // shown.
    FromWide(holders[i].strAppName, name, sizeof name, nullptr);
    if (!AddHolderName(out, size, name)) break;
  }
}

// The Restart Manager exists from Vista on, so it is looked up, and only in
// System32: a rstrtmgr.dll beside the program must never load. Where that
// search flag is unknown (Windows 7 without KB2533623) no program is named.
void NameFileHolders(const wchar_t* const* paths, unsigned count, char* out, size_t size) {
  if (size > 0) out[0] = '\0';
  if (count == 0) return;
  HMODULE rm = LoadLibraryExW(L"rstrtmgr.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (!rm) return;
  auto start_session = Lookup<RmStartSessionFn>(rm, "RmStartSession");
  auto end_session = Lookup<RmEndSessionFn>(rm, "RmEndSession");
  DWORD session = 0;
  WCHAR key[CCH_RM_SESSION_KEY + 1] = {};
  if (start_session && end_session && start_session(&session, 0, key) == ERROR_SUCCESS) {
    ListHolders(rm, session, paths, count, out, size);
    end_session(session);
  }
  FreeLibrary(rm);
}
