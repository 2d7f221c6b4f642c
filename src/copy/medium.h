// The update medium: the folder the files are copied from.
#pragma once

#include <stddef.h>

// The medium is the current directory, and its files are opened relative to
// it: a folder whose name code page 932 cannot spell is still reached, never
// another folder that a converted copy of its name would point to.
constexpr char kMediumRoot[] = ".";

// The medium's folder as the user is shown it, code page 932, characters it
// cannot spell as "?", no trailing backslash, cut to fit out (size bytes);
// empty when it cannot be read. Names only: nothing is opened through it.
void ReadSourceRoot(char* out, size_t size);

// A source path built on kMediumRoot as the user is shown it, on shown_root
// (from ReadSourceRoot) instead, cut to fit out (size bytes).
void ShownSourcePath(const char* shown_root, const char* source_path, char* out, size_t size);

// True when the folder that holds entry's source (source_path less the
// entry) is no longer there: the medium was taken away.
bool SourceFolderGone(const char* source_path, const char* entry);
