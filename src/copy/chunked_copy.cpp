#include "copy/chunked_copy.h"

#include <string.h>

#include "copy/flush_pace.h"
#include "win/now_ms.h"
#include "win/sha256.h"

// Chunks grow towards the largest size while they are quick and shrink
// while they are slow, so that a DVD or a network share still lets the
// dialog answer often, and a fast disk pays for few calls.
constexpr DWORD kLargestChunk = 1 << 20;
constexpr DWORD kSmallestChunk = 64 << 10;
constexpr double kSlowChunkMs = 20.0;
constexpr double kQuickChunkMs = 5.0;

// One file is copied at a time, on the one thread.
static char chunk[kLargestChunk];

// Attributes that a file may be given; read-only is left off, since a
// read-only copy could not be moved over the old file everywhere.
constexpr DWORD kCarriedAttributes = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN |
                                     FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

static DWORD NextChunkSize(DWORD size, double took_ms) {
  if (took_ms > kSlowChunkMs && size > kSmallestChunk) return size / 2;
  if (took_ms < kQuickChunkMs && size < kLargestChunk) return size * 2;
  return size;
}

// The hash of the file in progress, one at a time like the chunk.
static Sha256 copy_hash;

CopyOutcome CopyContents(HANDLE from, HANDLE to, unsigned long long size, CopyPulse pulse,
                         void* context, Sha256* hash) {
  unsigned long long copied = 0;
  DWORD chunk_size = kSmallestChunk;
  FlushPace pace;
  StartFlushPace(&pace);
  while (copied < size) {
    double started = NowMs();
    DWORD want = size - copied < chunk_size ? static_cast<DWORD>(size - copied) : chunk_size;
    DWORD got = 0;
    DWORD put = 0;
    // A source that ends before its size was cut short on the medium.
    if (!ReadFile(from, chunk, want, &got, nullptr) || got == 0) return kCopyFailed;
    if (!WriteFile(to, chunk, got, &put, nullptr) || put != got) return kCopyFailed;
    // The bytes that went into the file, not a second read of the source,
    // which could differ.
    if (hash != nullptr) AddToSha256(hash, chunk, got);
    if (!PaceFlush(to, got, &pace)) return kCopyFailed;
    copied += got;
    chunk_size = NextChunkSize(chunk_size, NowMs() - started);
    if (pulse != nullptr && !pulse(context, copied)) return kCopyStopped;
  }
  return kCopyDone;
}

CopyOutcome HashFile(const wchar_t* path, CopyPulse pulse, void* context, unsigned char* digest) {
  HANDLE file =
      CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) return kCopyFailed;
  LARGE_INTEGER size;
  CopyOutcome outcome = kCopyFailed;
  if (GetFileSizeEx(file, &size) && size.QuadPart >= 0) {
    StartSha256(&copy_hash);
    unsigned long long total = static_cast<unsigned long long>(size.QuadPart);
    unsigned long long read = 0;
    DWORD chunk_size = kSmallestChunk;
    outcome = kCopyDone;
    while (read < total && outcome == kCopyDone) {
      double started = NowMs();
      DWORD want = total - read < chunk_size ? static_cast<DWORD>(total - read) : chunk_size;
      DWORD got = 0;
      if (!ReadFile(file, chunk, want, &got, nullptr) || got == 0) {
        outcome = kCopyFailed;
        break;
      }
      AddToSha256(&copy_hash, chunk, got);
      read += got;
      chunk_size = NextChunkSize(chunk_size, NowMs() - started);
      if (pulse != nullptr && !pulse(context, read)) outcome = kCopyStopped;
    }
    if (!FinishSha256(&copy_hash, digest) && outcome == kCopyDone) outcome = kCopyFailed;
  }
  CloseHandle(file);
  return outcome;
}

// Hashes what CopyContents wrote; a hash that CNG cannot make fails the
// copy rather than pass it unchecked.
static CopyOutcome CopyAndCheck(HANDLE from, HANDLE to, unsigned long long size, CopyPulse pulse,
                                void* context, const unsigned char* expected_sha256) {
  if (expected_sha256 == nullptr) return CopyContents(from, to, size, pulse, context);
  StartSha256(&copy_hash);
  CopyOutcome outcome = CopyContents(from, to, size, pulse, context, &copy_hash);
  unsigned char digest[32];
  bool hashed = FinishSha256(&copy_hash, digest);
  if (outcome != kCopyDone) return outcome;
  if (!hashed) return kCopyFailed;
  return memcmp(digest, expected_sha256, sizeof digest) == 0 ? kCopyDone : kCopyDamaged;
}

CopyOutcome CopyInChunks(const wchar_t* source, const wchar_t* dest, CopyPulse pulse, void* context,
                         const unsigned char* expected_sha256) {
  HANDLE from = CreateFileW(source, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (from == INVALID_HANDLE_VALUE) return kCopyFailed;
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(from, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    CloseHandle(from);
    return kCopyFailed;
  }
  // A new file rather than one cut back to nothing: Linux's ext4 writes
  // out a file that was cut back before its close returns, which under
  // Wine held the dialog for up to a second after a large file.
  // Shared for deletion only, so that at the end of the session the copy
  // can be removed by name while it is still open.
  HANDLE to = CreateFileW(dest, GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                          FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (to == INVALID_HANDLE_VALUE) {
    CloseHandle(from);
    return kCopyFailed;
  }
  unsigned long long size =
      (static_cast<unsigned long long>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  CopyOutcome outcome = CopyAndCheck(from, to, size, pulse, context, expected_sha256);
  // The time goes on last: every write before it would move it again.
  if (outcome == kCopyDone && !SetFileTime(to, nullptr, nullptr, &info.ftLastWriteTime)) {
    outcome = kCopyFailed;
  }
  // On the disk before the caller renames it over the old file: otherwise a
  // power cut can leave the new name with no data, and the old file gone.
  if (outcome == kCopyDone && !FlushFileBuffers(to)) outcome = kCopyFailed;
  if (!CloseHandle(to) && outcome == kCopyDone) outcome = kCopyFailed;
  CloseHandle(from);
  if (outcome != kCopyDone) return outcome;
  DWORD attributes = info.dwFileAttributes & kCarriedAttributes;
  SetFileAttributesW(dest, attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL);
  return kCopyDone;
}
