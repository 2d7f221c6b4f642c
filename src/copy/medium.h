// The update medium: the folder the files are copied from.
#pragma once

#include <stddef.h>

// The medium is the current directory; out (size bytes) receives it, code
// page 932, or stays empty when it does not fit 511 bytes, which fails every
// copy rather than copying from elsewhere.
void ReadSourceRoot(char* out, size_t size);

// True when the folder that holds entry's source (source_path less the
// entry) is no longer there: the medium was taken away.
bool SourceFolderGone(const char* source_path, const char* entry);
