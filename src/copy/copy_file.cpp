#include "copy/copy_file.h"

#include <string.h>
#include <windows.h>

#include "copy/safe_replace.h"
#include "text/sjis.h"
#include "win/long_path.h"

// A code page 932 path of up to 1023 bytes is at most 1023 UTF-16 units.
constexpr int kWidePathLength = 1024;

// Through a temporary copy, so that a copy that fails part way (a full
// disk, a pulled medium, a killed process) leaves the old file as it was.
CopyOutcome CopyOneFile(const char* source, const char* dest, CopyPulse pulse, void* context,
                        const unsigned char* expected_sha256) {
  return ReplaceWithCopy(source, dest, pulse, context, expected_sha256);
}

void ClearReadOnly(const char* path) {
  wchar_t wide[kWidePathLength];
  if (!ToWidePath(path, wide, kWidePathLength)) return;
  DWORD attributes = GetFileAttributesW(wide);
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  SetFileAttributesW(wide, attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
}

static void CreateFolder(const char* folder) {
  wchar_t wide[kWidePathLength];
  if (!ToWidePath(folder, wide, kWidePathLength)) return;
  if (GetFileAttributesW(wide) == INVALID_FILE_ATTRIBUTES) CreateDirectoryW(wide, nullptr);
}

// Walks by characters so that the second byte of a two-byte character (0x5C
// in 表 or ソ) is never taken for a separator.
void CreateEntryFolders(const char* dest_dir, size_t first) {
  char prefix[1024];
  size_t length = strlen(dest_dir);
  if (length >= sizeof prefix || first > length) return;
  for (size_t i = first; i < length; i += CharLength(dest_dir + i)) {
    if (dest_dir[i] != '\\' && dest_dir[i] != '/') continue;
    memcpy(prefix, dest_dir, i);
    prefix[i] = '\0';
    CreateFolder(prefix);
  }
}
