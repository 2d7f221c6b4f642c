#include "copy/copy_paths.h"

#include <string.h>

#include "copy/device_names.h"
#include "text/format.h"
#include "text/sjis.h"

// Windows drops trailing dots and spaces from a name, so a name made of them
// alone can act as a step up; none of them names a real game file.
static bool IsDotsOnly(const char* begin, const char* end) {
  bool has_dot = false;
  for (const char* p = begin; p < end; ++p) {
    if (*p == '.') {
      has_dot = true;
    } else if (*p != ' ') {
      return false;
    }
  }
  return has_dot;
}

bool IsEntryInsideGameFolder(const char* entry) {
  if (entry[0] == '\\' || entry[0] == '/' || entry[0] == '\0') return false;
  const char* component = entry;
  const char* p = entry;
  while (true) {
    bool at_end = *p == '\0';
    if (at_end || *p == '\\' || *p == '/') {
      if (IsDotsOnly(component, p)) return false;
      if (at_end) return true;
      component = p + 1;
    } else if (*p == ':') {
      return false;
    }
    p += CharLength(p);
  }
}

// Appends part to out after one separator, dropping one trailing backslash
// from what is there first.
static bool AppendComponent(char* out, size_t size, const char* part) {
  RemoveTrailingBackslash(out);
  return AppendText(out, size, "\\") && AppendText(out, size, part);
}

CopyPathStatus BuildCopyPaths(const char* source_root, const char* path, const char* game_dir,
                              const char* entry, CopyPaths* out) {
  out->source_path[0] = out->dest_path[0] = out->dest_dir[0] = '\0';
  if (!IsEntryInsideGameFolder(entry)) return kEntryOutsideGameFolder;
  // Windows 7 to 10 would open the device, whatever the folder before it.
  if (EntryNamesDevice(entry)) return kEntryNamesDevice;
  if (source_root[0] == '\0') return kCopyPathTooLong;
  // The entry's folder part, up to and including its last separator. An
  // entry may be longer than a path part of SplitPath holds.
  char folder[sizeof out->dest_dir];
  bool fit = CopyText(folder, sizeof folder, entry);
  size_t folder_length = 0;
  for (size_t i = 0; folder[i] != '\0'; i += CharLength(folder + i)) {
    if (folder[i] == '\\' || folder[i] == '/') folder_length = i + 1;
  }
  folder[folder_length] = '\0';
  fit = fit && FormatText(out->dest_dir, sizeof out->dest_dir, "%s\\%s", game_dir, folder);
  fit = fit && FormatText(out->dest_path, sizeof out->dest_path, "%s\\%s", game_dir, entry);
  fit = fit && CopyText(out->source_path, sizeof out->source_path, source_root);
  fit = fit && AppendComponent(out->source_path, sizeof out->source_path, path);
  fit = fit && AppendComponent(out->source_path, sizeof out->source_path, entry);
  return fit ? kCopyPathsReady : kCopyPathTooLong;
}
