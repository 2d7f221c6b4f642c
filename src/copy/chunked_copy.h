// Copying one file in chunks, so that the caller can keep its window
// answering and show progress while a large file is on its way.
#pragma once

#include <windows.h>

enum CopyOutcome {
  kCopyDone,
  kCopyFailed,
  kCopyStopped,  // the pulse asked to stop
  kCopyDamaged,  // the bytes copied are not the ones expected
};

struct Sha256;

// Called after every chunk with the bytes of the file copied so far; false
// stops the copy. Chunks are sized so that calls come at least every 50 ms
// on any medium that reads 64 KB within that time.
using CopyPulse = bool (*)(void* context, unsigned long long copied);

// Copies source to dest, a new file, with the source's
// last-write time and attributes, read-only excepted, and flushes it to the
// disk. A null pulse copies without pauses. With expected_sha256 (32 bytes)
// the bytes written are hashed, and a file that hashes otherwise is
// kCopyDamaged. On any outcome but kCopyDone dest may hold part of the
// file; the caller removes it.
CopyOutcome CopyInChunks(const wchar_t* source, const wchar_t* dest, CopyPulse pulse, void* context,
                         const unsigned char* expected_sha256 = nullptr);

// The contents alone: size bytes from one open file to the other. A read
// that fails or ends before size bytes fails the copy. Every chunk written
// is added to hash, when there is one.
CopyOutcome CopyContents(HANDLE from, HANDLE to, unsigned long long size, CopyPulse pulse,
                         void* context, Sha256* hash = nullptr);

// Hashes the file at path (SHA-256 into digest, 32 bytes) in the copy's
// chunks, calling pulse after each with the bytes read so far. Opened for
// reading only, sharing everything: a running game may hold its files open.
// kCopyFailed when it cannot be opened, read whole or hashed; kCopyStopped
// when the pulse asked to stop.
CopyOutcome HashFile(const wchar_t* path, CopyPulse pulse, void* context, unsigned char* digest);
