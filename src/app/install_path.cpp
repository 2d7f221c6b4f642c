#include "app/install_path.h"

#include "app/run_state.h"
#include "text/path_parts.h"
#include "text/sjis.h"

// Collapses every run of backslashes to one and stops at a line break.
// Returns false when the result did not fit.
static bool CleanFolder(const char* folder, char* out, size_t size) {
  size_t n = 0;
  const char* p = folder;
  while (*p != '\0' && *p != '\r' && *p != '\n') {
    size_t len = CharLength(p);
    if (len == 1 && IsLeadByte(static_cast<unsigned char>(*p))) break;
    if (!(len == 1 && p[0] == '\\' && p[1] == '\\')) {
      if (n + len >= size) {
        out[n] = '\0';
        return false;
      }
      for (size_t i = 0; i < len; ++i) out[n++] = p[i];
    }
    p += len;
  }
  out[n] = '\0';
  return true;
}

void CheckInstallPath(bool names_file) {
  PathParts parts;
  char folder[260];
  char cleaned[256];
  // A folder that had to be cut would name some other folder; an empty one
  // is reported as missing before anything is copied.
  bool fit = SplitPath(install_dir, &parts);
  // Dropping the last name of a folder such as "game-1.00" or one that does
  // not exist would leave its parent as the game folder: the files would
  // land beside it.
  if (parts.ext[0] == '\0' || !names_file) {
    fit = fit && MakePath(folder, sizeof folder, nullptr, parts.dir, parts.fname, parts.ext);
  } else {
    fit = fit && MakePath(folder, sizeof folder, nullptr, parts.dir, nullptr, nullptr);
  }
  fit = fit && CleanFolder(folder, cleaned, sizeof cleaned);
  if (!fit) {
    install_dir[0] = '\0';
    return;
  }
  RemoveTrailingBackslash(cleaned);
  MakePath(install_dir, sizeof install_dir, parts.drive, cleaned, nullptr, nullptr);
  RemoveTrailingBackslash(install_dir);
}
