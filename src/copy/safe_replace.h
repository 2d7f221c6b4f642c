// Replacing a game file so that it is never left half-written.
#pragma once

#include "copy/chunked_copy.h"

// Copies source_path to a temporary file beside dest_path, checks that the
// whole file arrived, then puts it in dest_path's place in one step. On any
// failure dest_path is exactly as it was and no temporary file remains.
// A read-only, open or folder destination is not replaced. Both paths are
// code page 932. pulse (may be null) runs between chunks, as for
// CopyInChunks; when it stops the copy, dest_path is as it was too.
// With expected_sha256, a copy whose bytes hash otherwise is kCopyDamaged.
// Returns kCopyDone when dest_path now holds the new file.
CopyOutcome ReplaceWithCopy(const char* source_path, const char* dest_path,
                            CopyPulse pulse = nullptr, void* context = nullptr,
                            const unsigned char* expected_sha256 = nullptr);
