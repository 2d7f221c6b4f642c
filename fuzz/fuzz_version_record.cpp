// Any bytes as update.versions: the reader stays within the input, accepts
// only records whose index finds every line of each path once per version,
// and a folder made of a record's own files is never refused.
#include <stdint.h>
#include <string.h>

#include "fuzz_check.h"
#include "versions/identify.h"

// Inputs are cut at fuzz.sh's max_len; larger ones are skipped.
constexpr size_t kMaxInput = 1 << 16;
static VersionHeading versions[kMaxVersions];
static size_t lines[kMaxInput / kMinVersionFileLine + 1];
static unsigned char carried[sizeof lines / sizeof lines[0]];

static size_t CountLines(const char* record, size_t size) {
  size_t count = 0;
  for (size_t i = 0; i < size; ++i) count += record[i] == '\n';
  return count;
}

static void CheckIndex(const char* record, size_t size, size_t version_count, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    VersionFile file;
    ReadVersionFile(record, lines[i], &file);
    Check(file.path_offset > lines[i] && file.path_offset + file.path_length < size,
          "the path lies within the record");
    Check(record[file.path_offset + file.path_length] == '\n', "the path ends its line");
    size_t version = VersionOfLine(versions, version_count, lines[i]);
    Check(version < version_count && versions[version].line < lines[i] &&
              (version + 1 == version_count || versions[version + 1].line > lines[i]),
          "the line belongs to the version above it");
    size_t first, end;
    FindVersionPath(record, lines, count, record + file.path_offset, file.path_length, &first,
                    &end);
    Check(first <= i && i < end, "the lookup finds the line");
    if (i + 1 < end) {
      VersionFile next;
      ReadVersionFile(record, lines[i + 1], &next);
      Check(VersionOfLine(versions, version_count, lines[i + 1]) > version,
            "one line per version, in version order");
    }
    if (end < count) {
      VersionFile after;
      ReadVersionFile(record, lines[end], &after);
      Check(ComparePaths(record + after.path_offset, after.path_length, record + file.path_offset,
                         file.path_length) > 0,
            "the range holds every line of the path");
    }
  }
}

// Every other path carried with its first version's bytes, the rest present
// at their first version's size: each file is some version's own.
static void CheckOwnFilesPass(const char* record, size_t size, size_t version_count, size_t count) {
  KnownVersions known = {record, size, versions, version_count, lines, count};
  Identification id;
  StartIdentification(&id, &known, carried);
  bool carry = true;
  for (size_t i = 0; i < count;) {
    VersionFile file;
    ReadVersionFile(record, lines[i], &file);
    size_t first, end;
    FindVersionPath(record, lines, count, record + file.path_offset, file.path_length, &first,
                    &end);
    if (carry) {
      unsigned char new_digest[kSha256Size];
      memcpy(new_digest, file.digest, kSha256Size);
      new_digest[0] ^= 1;
      Check(JudgeCarriedFile(&id, record + file.path_offset, file.path_length, new_digest,
                             file.digest) == kFileOld,
            "a version's own bytes are old");
    }
    carry = !carry;
    i = end;
  }
  size_t cursor = 0;
  UncarriedFile uncarried;
  while (NextUncarriedFile(&id, &cursor, &uncarried)) {
    VersionFile file;
    ReadVersionFile(record, lines[uncarried.first], &file);
    Check(JudgeUncarriedFile(&id, &uncarried, true, file.size) == kFileOld,
          "a version's own size is old");
  }
  Check(IdentificationOutcome(&id) != kIdentifyRefuse, "a folder of own files is not refused");
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > kMaxInput) return 0;
  // The input's own buffer, exactly size bytes: a read past it is reported.
  const char* record = reinterpret_cast<const char*>(data);
  size_t malformed = FirstMalformedVersionLine(record, size);
  size_t line_count = CountLines(record, size);
  Check(malformed <= line_count + 1, "the malformed line is a line of the record");
  if (malformed != 0) return 0;
  Check(size > 0 && record[size - 1] == '\n', "a record ends with a line feed");
  Check(memchr(record, '\r', size) == nullptr, "a record holds no carriage return");
  size_t version_count = ListVersions(record, size, versions, kMaxVersions);
  Check(version_count >= 1 && version_count <= kMaxVersions, "one to the most versions");
  for (size_t v = 0; v < version_count; ++v) {
    Check(versions[v].label_length >= 1 && versions[v].label_length <= kMaxVersionLabel,
          "a label's length");
    for (size_t w = 0; w < v; ++w) {
      Check(versions[w].label_length != versions[v].label_length ||
                memcmp(record + versions[w].label_offset, record + versions[v].label_offset,
                       versions[v].label_length) != 0,
            "labels are unique");
    }
  }
  size_t count = IndexVersionFiles(record, size, lines, sizeof lines / sizeof lines[0]);
  Check(count == line_count - version_count, "every file line indexed");
  CheckIndex(record, size, version_count, count);
  CheckOwnFilesPass(record, size, version_count, count);
  return 0;
}
