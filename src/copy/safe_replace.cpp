#include "copy/safe_replace.h"

#include <windows.h>

#include "copy/temp_name.h"
#include "win/wide_text.h"

static void RemoveTemp(const wchar_t* temp) {
  DWORD attributes = GetFileAttributesW(temp);
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  if (attributes & FILE_ATTRIBUTE_READONLY) {
    SetFileAttributesW(temp, attributes & ~FILE_ATTRIBUTE_READONLY);
  }
  DeleteFileW(temp);
}

// The move would replace a file that another program has open on Windows
// but not always under Wine, so the destination is tried for exclusive use
// first: an open file stays as it is on both.
static bool DestinationReplaceable(const wchar_t* dest) {
  DWORD attributes = GetFileAttributesW(dest);
  if (attributes == INVALID_FILE_ATTRIBUTES) return true;
  // Checked here because Wine replaces read-only files, and as root it
  // copies over them too; Windows refuses both.
  if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) return false;
  HANDLE handle = CreateFileW(dest, GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  CloseHandle(handle);
  return true;
}

static bool SameSize(const wchar_t* a, const wchar_t* b) {
  WIN32_FILE_ATTRIBUTE_DATA da;
  WIN32_FILE_ATTRIBUTE_DATA db;
  if (!GetFileAttributesExW(a, GetFileExInfoStandard, &da)) return false;
  if (!GetFileAttributesExW(b, GetFileExInfoStandard, &db)) return false;
  return da.nFileSizeHigh == db.nFileSizeHigh && da.nFileSizeLow == db.nFileSizeLow;
}

static bool CopyIntoTemp(const wchar_t* source, const wchar_t* temp) {
  DWORD attributes = GetFileAttributesW(source);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return false;
  }
  if (!CopyFileW(source, temp, FALSE)) return false;
  if (!SameSize(source, temp)) return false;
  // A read-only source gives a read-only copy, which could not be moved
  // over the old file on every system.
  DWORD copied = GetFileAttributesW(temp);
  if (copied != INVALID_FILE_ATTRIBUTES && (copied & FILE_ATTRIBUTE_READONLY)) {
    SetFileAttributesW(temp, copied & ~FILE_ATTRIBUTE_READONLY);
  }
  return true;
}

bool ReplaceWithCopy(const char* source_path, const char* dest_path) {
  char temp_path[1024];
  wchar_t source[1024];
  wchar_t dest[1024];
  wchar_t temp[1024];
  if (!MakeTempName(dest_path, temp_path, sizeof temp_path)) return false;
  if (!ToWide(source_path, source, 1024) || !ToWide(dest_path, dest, 1024) ||
      !ToWide(temp_path, temp, 1024)) {
    return false;
  }
  // A copy left behind by a run that was killed goes first.
  RemoveTemp(temp);
  if (!DestinationReplaceable(dest)) return false;
  bool replaced = CopyIntoTemp(source, temp) &&
                  MoveFileExW(temp, dest, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  if (!replaced) RemoveTemp(temp);
  return replaced;
}
