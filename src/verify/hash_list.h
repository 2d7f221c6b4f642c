// update.sha256: the medium's list of the files the update reads, with their
// SHA-256, in the text form of GNU sha256sum ("<64 hex>  <path>", LF line
// ends, paths in UTF-8 below the medium with '/' between names).
#pragma once

#include <stddef.h>

#include "settings/settings.h"

constexpr size_t kSha256Size = 32;
// The PATH folder's longest value, in code page 932 bytes.
constexpr size_t kMaxFolderLength = sizeof(SetupSettings::path) - 1;
// The longest path the updater looks up: the PATH folder, '/' and the
// longest entry, in UTF-8, where a code page 932 byte (a half-width katakana)
// may become three.
constexpr size_t kMaxListedPath = (kMaxFolderLength + kMaxEntryLength) * 3 + 1;
// One line per entry and one for update.ini.
constexpr size_t kMaxHashLines = static_cast<size_t>(kMaxFiles) + 1;
constexpr size_t kMaxHashLineLength = 2 * kSha256Size + 2 + kMaxListedPath + 1;
// Larger lists are refused unread.
constexpr size_t kMaxHashListSize = kMaxHashLines * kMaxHashLineLength;

struct HashLine {
  size_t path_offset;  // in the list
  size_t path_length;
  unsigned char digest[kSha256Size];
};

// Reads 64 lowercase hex digits at hex into digest (32 bytes); false when
// they are not.
bool ReadDigest(const char* hex, unsigned char* digest);

// A relative path below the medium as the list writes one: names between
// '/', none empty, "." or "..", at most kMaxListedPath bytes.
bool ListedPathAcceptable(const char* path, size_t length);

// Orders two paths byte by byte, as unsigned bytes, the shorter first when
// one begins the other.
int ComparePaths(const char* a, size_t a_length, const char* b, size_t b_length);

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

// Orders the lines of a well-formed list by path into lines (the offsets of
// their starts, capacity of them), so that FindIndexedHash looks a path up
// in O(log N). Returns the count of lines; more than capacity when the list
// has more lines than that (the index then is not to be used).
size_t IndexHashList(const char* list, size_t size, size_t* lines, size_t capacity);

// As LookUpHash, through an index that IndexHashList built of the same list.
HashLookup FindIndexedHash(const char* list, const size_t* lines, size_t count, const char* path,
                           size_t path_length, unsigned char* digest);

// 64 lowercase hex digits of digest into out (65 bytes with terminator).
void FormatDigest(const unsigned char* digest, char* out);
