#include "copy/medium.h"

#include <string.h>
#include <windows.h>

#include "text/format.h"
#include "text/sjis.h"
#include "win/long_path.h"
#include "win/wide_text.h"

void ReadSourceRoot(char* out, size_t size) {
  if (size == 0) return;
  out[0] = '\0';
  wchar_t wide[4096];
  DWORD count = sizeof wide / sizeof wide[0];
  DWORD n = GetCurrentDirectoryW(count, wide);
  if (n == 0 || n >= count) return;
  FromWide(wide, out, size, nullptr);
  RemoveTrailingBackslash(out);
}

void ShownSourcePath(const char* shown_root, const char* source_path, char* out, size_t size) {
  size_t root_length = sizeof kMediumRoot - 1;
  if (strncmp(source_path, kMediumRoot, root_length) == 0) source_path += root_length;
  FormatText(out, size, "%s%s", shown_root, source_path);
}

// The source path is the source folder, one separator and the entry.
bool SourceFolderGone(const char* source_path, const char* entry) {
  size_t path_length = strlen(source_path);
  size_t entry_length = strlen(entry);
  if (path_length <= entry_length + 1) return false;
  char folder[1024];
  size_t length = path_length - entry_length - 1;
  if (length + 2 > sizeof folder) return false;
  memcpy(folder, source_path, length);
  folder[length] = '\0';
  // A bare drive (E:) would name the drive's current folder.
  if (folder[length - 1] == ':') CopyText(folder + length, 2, "\\");
  wchar_t wide[1024];
  if (!ToWidePath(folder, wide, 1024)) return false;
  DWORD attributes = GetFileAttributesW(wide);
  return attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}
