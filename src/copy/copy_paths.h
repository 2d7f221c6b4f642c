// Where one entry of the file list is copied from and to.
#pragma once

struct CopyPaths {
  char source_path[1024];
  char dest_path[1024];
  char dest_dir[1024];  // the game folder and the entry's folder part
};

enum CopyPathStatus {
  kCopyPathsReady,
  kEntryOutsideGameFolder,  // absolute, has a drive or colon, or climbs with dots
  kEntryNamesDevice,        // a name of it opens a device (AUX, NUL, COM1...)
  kCopyPathTooLong,         // a path does not fit its buffer, or the root is unknown
};

// True when entry is a relative path that stays inside the folder it is
// joined to.
bool IsEntryInsideGameFolder(const char* entry);

// Builds source (source_root \ path \ entry, with one separator at each
// joint) and destination (game_dir \ entry) for entry. An empty source_root
// means the current directory could not be read. On any status other than
// kCopyPathsReady the paths are not to be used.
CopyPathStatus BuildCopyPaths(const char* source_root, const char* path, const char* game_dir,
                              const char* entry, CopyPaths* out);
