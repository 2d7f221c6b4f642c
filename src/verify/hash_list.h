// update.sha256: the medium's list of the files the update reads, with their
// SHA-256, in the text form of GNU sha256sum ("<64 hex>  <path>", LF line
// ends, paths in UTF-8 below the medium with '/' between names).
#pragma once

#include <stddef.h>

constexpr size_t kSha256Size = 32;
// Larger lists are refused unread: 256 files need some 30 KB.
constexpr size_t kMaxHashListSize = 1 << 20;
constexpr size_t kMaxListedPath = 1023;

struct HashLine {
  size_t path_offset;  // in the list
  size_t path_length;
  unsigned char digest[kSha256Size];
};

enum HashLineStatus { kHashLineRead, kHashListEnd, kHashLineMalformed };

// Reads the line that begins at *offset in list (size bytes) and moves
// *offset past it. A malformed line leaves *offset and line alone.
HashLineStatus ReadHashLine(const char* list, size_t size, size_t* offset, HashLine* line);

// Line number (1-based) of the first malformed line, or 0 when every line
// is well-formed.
size_t FirstMalformedLine(const char* list, size_t size);

enum HashLookup { kHashListed, kHashNotListed, kHashListedTwice, kHashListMalformed };

// The digest listed for path (path_length bytes, UTF-8, '/' between names).
// A path listed twice is refused: its two lines could name two contents.
HashLookup LookUpHash(const char* list, size_t size, const char* path, size_t path_length,
                      unsigned char* digest);

// 64 lowercase hex digits of digest into out (65 bytes with terminator).
void FormatDigest(const unsigned char* digest, char* out);
