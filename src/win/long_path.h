// Paths for the file calls that may be longer than MAX_PATH.
#pragma once

#include <windows.h>

// Converts a code page 932 path to UTF-16 as ToWide does. A path of
// MAX_PATH characters or more is made absolute and given the \\?\ prefix
// (\\?\UNC\ for a share), without which Windows refuses it. False when it
// does not fit size.
bool ToWidePath(const char* path, wchar_t* out, int size);

// True when path (code page 932) names a file that exists, not a folder.
bool NamesExistingFile(const char* path);
