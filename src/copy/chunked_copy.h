// Copying one file in chunks, so that the caller can keep its window
// answering and show progress while a large file is on its way.
#pragma once

#include <windows.h>

enum CopyOutcome {
  kCopyDone,
  kCopyFailed,
  kCopyStopped,  // the pulse asked to stop
};

// Called after every chunk with the bytes of the file copied so far; false
// stops the copy. Chunks are sized so that calls come at least every 50 ms
// on any medium that reads 64 KB within that time.
using CopyPulse = bool (*)(void* context, unsigned long long copied);

// Copies source to dest, a new file, with the source's
// last-write time and attributes, read-only excepted, and flushes it to the
// disk. A null pulse copies
// without pauses. On any outcome but kCopyDone dest may hold part of the
// file; the caller removes it.
CopyOutcome CopyInChunks(const wchar_t* source, const wchar_t* dest, CopyPulse pulse,
                         void* context);

// The contents alone: size bytes from one open file to the other. A read
// that fails or ends before size bytes fails the copy.
CopyOutcome CopyContents(HANDLE from, HANDLE to, unsigned long long size, CopyPulse pulse,
                         void* context);
