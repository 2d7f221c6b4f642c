#include "copy/leftover_temps.h"

#include <windows.h>

#include "copy/temp_name.h"
#include "text/format.h"
#include "win/long_path.h"
#include "win/wide_text.h"

static void RemoveFile(const wchar_t* path) {
  DWORD attributes = GetFileAttributesW(path);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return;
  if (attributes & FILE_ATTRIBUTE_READONLY) {
    SetFileAttributesW(path, attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  }
  DeleteFileW(path);
}

void RemoveLeftoverTemps(const char* folder) {
  static char pattern[1024];
  static wchar_t wide[1024];
  static char name[1024];
  static char path[1024];
  if (!FormatText(pattern, sizeof pattern, "%s*%s", folder, kTempSuffix)) return;
  if (!ToWidePath(pattern, wide, 1024)) return;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(wide, &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    // The pattern also matches short names and any case; only the
    // updater's own naming is removed.
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    // A name code page 932 cannot spell is no name the updater gave.
    bool unmappable = false;
    if (!FromWide(found.cFileName, name, sizeof name, &unmappable) || unmappable ||
        !IsTempName(name)) {
      continue;
    }
    if (!FormatText(path, sizeof path, "%s%s", folder, name)) continue;
    if (ToWidePath(path, wide, 1024)) RemoveFile(wide);
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

void RemoveTempOf(const char* dest_path) {
  char temp_path[1024];
  wchar_t temp[1024];
  if (!MakeTempName(dest_path, temp_path, sizeof temp_path)) return;
  if (ToWidePath(temp_path, temp, 1024)) RemoveFile(temp);
}
