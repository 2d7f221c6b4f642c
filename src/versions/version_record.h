// update.versions: the game versions a medium was packed from, each with
// the size and SHA-256 of its files. Text, UTF-8, every line ending in LF:
//
//   version <label>
//   <64 lowercase hex> <size in decimal> <path>
//   ...
//
// Paths are relative to the game folder, UTF-8 with '/' between names, as
// update.sha256 spells them. Within a version each path appears once and
// paths come in byte order.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "verify/hash_list.h"

constexpr size_t kMaxVersions = 256;
constexpr size_t kMaxVersionLabel = 255;
// Larger records are refused unread, as larger lists are.
constexpr size_t kMaxVersionRecordSize = kMaxHashListSize;
// The shortest file line: 64 hex digits, " 0 ", a one-byte path and LF.
constexpr size_t kMinVersionFileLine = 2 * kSha256Size + 5;
constexpr size_t kMaxVersionFileLines = kMaxVersionRecordSize / kMinVersionFileLine;

// Line number (1-based) of the first malformed line of record (size bytes),
// or 0 when the whole record is well-formed. A record without a version is
// malformed at its first line.
size_t FirstMalformedVersionLine(const char* record, size_t size);

struct VersionHeading {
  size_t line;          // offset of its "version " line in the record
  size_t label_offset;  // in the record
  size_t label_length;
};

// The versions of a well-formed record, in its order, into versions
// (capacity of them; kMaxVersions always suffice). Returns their count.
size_t ListVersions(const char* record, size_t size, VersionHeading* versions, size_t capacity);

// Orders the file lines of a well-formed record by path, lines of one path
// in version order, into lines (the offsets of their starts, capacity of
// them). Returns their count; more than capacity when the record has more
// (the index then is not to be used).
size_t IndexVersionFiles(const char* record, size_t size, size_t* lines, size_t capacity);

// The positions [*first, *end) in an index from IndexVersionFiles of the
// lines of path (length bytes); empty when no version has it. O(log N).
void FindVersionPath(const char* record, const size_t* lines, size_t count, const char* path,
                     size_t length, size_t* first, size_t* end);

struct VersionFile {
  size_t path_offset;  // in the record
  size_t path_length;
  uint64_t size;
  unsigned char digest[kSha256Size];
};

// The fields of the well-formed file line that starts at offset line.
void ReadVersionFile(const char* record, size_t line, VersionFile* file);

// The version (0-based, in the record's order) that the file line at offset
// line belongs to, among the count versions of ListVersions. O(log count).
size_t VersionOfLine(const VersionHeading* versions, size_t count, size_t line);
