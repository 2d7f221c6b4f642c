// Splitting and joining of code page 932 paths.
#pragma once

#include <stddef.h>

struct PathParts {
  char drive[3];
  char dir[256];
  char fname[256];
  char ext[256];
};

// Splits path into drive (such as D:), directory (up to and including the
// last \ or /), file name and extension (from the last dot of the last
// component). A part that does not fit is cut at a character boundary.
// Returns true when nothing was cut.
bool SplitPath(const char* path, PathParts* parts);

// Joins the given parts (any may be null) into out (size bytes): drive letter
// and colon, directory with a \ added unless it ends in \ or /, file name,
// then the extension with a dot added unless it has one. A result that does
// not fit is cut at a character boundary; returns true when nothing was cut.
bool MakePath(char* out, size_t size, const char* drive, const char* dir, const char* fname,
              const char* ext);
