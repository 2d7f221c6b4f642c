// Copying one file of the update into the game folder. Paths in code page 932.
#pragma once

#include <stddef.h>

#include "copy/chunked_copy.h"

// Copies source over dest, replacing an existing file that is neither
// read-only nor in use; pulse runs between chunks and may stop the copy.
// With expected_sha256 (32 bytes) the bytes copied must hash to it, or dest
// stays as it was (kCopyDamaged). On any outcome but kCopyDone dest is as it
// was.
CopyOutcome CopyOneFile(const char* source, const char* dest, CopyPulse pulse, void* context,
                        const unsigned char* expected_sha256 = nullptr);

// Clears the read-only attribute of the file at path, if it can be read.
void ClearReadOnly(const char* path);

// Creates every missing folder of dest_dir from offset first on, where
// dest_dir[first] begins the folders below an existing one (the game folder).
// Results are not reported: a folder that could not be made fails the copy.
void CreateEntryFolders(const char* dest_dir, size_t first);
