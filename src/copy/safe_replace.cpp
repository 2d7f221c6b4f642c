#include "copy/safe_replace.h"

#include <windows.h>

#include "copy/temp_name.h"
#include "win/long_path.h"
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

static CopyOutcome CopyIntoTemp(const wchar_t* source, const wchar_t* temp, CopyPulse pulse,
                                void* context, const unsigned char* expected_sha256) {
  DWORD attributes = GetFileAttributesW(source);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return kCopyFailed;
  }
  CopyOutcome outcome = CopyInChunks(source, temp, pulse, context, expected_sha256);
  if (outcome != kCopyDone) return outcome;
  return SameSize(source, temp) ? kCopyDone : kCopyFailed;
}

CopyOutcome ReplaceWithCopy(const char* source_path, const char* dest_path, CopyPulse pulse,
                            void* context, const unsigned char* expected_sha256) {
  char temp_path[1024];
  wchar_t source[1024];
  wchar_t dest[1024];
  wchar_t temp[1024];
  if (!MakeTempName(dest_path, temp_path, sizeof temp_path)) return kCopyFailed;
  if (!ToWidePath(source_path, source, 1024) || !ToWidePath(dest_path, dest, 1024) ||
      !ToWidePath(temp_path, temp, 1024)) {
    return kCopyFailed;
  }
  // A copy left behind by a run that was killed goes first.
  RemoveTemp(temp);
  if (!DestinationReplaceable(dest)) return kCopyFailed;
  CopyOutcome outcome = CopyIntoTemp(source, temp, pulse, context, expected_sha256);
  if (outcome == kCopyDone &&
      !MoveFileExW(temp, dest, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    outcome = kCopyFailed;
  }
  if (outcome != kCopyDone) RemoveTemp(temp);
  return outcome;
}
