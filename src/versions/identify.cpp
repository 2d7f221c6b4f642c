#include "versions/identify.h"

#include <string.h>

void StartIdentification(Identification* id, const KnownVersions* known, unsigned char* carried) {
  id->known = *known;
  id->carried = carried;
  id->carried_count = 0;
  id->carried_new = 0;
  id->unknown_count = 0;
  for (size_t v = 0; v < kMaxVersions; ++v) {
    id->contradicted[v] = false;
    id->agreed[v] = 0;
  }
  if (known->record != nullptr && carried != nullptr) memset(carried, 0, known->line_count);
}

static size_t LineVersion(const Identification* id, size_t position) {
  return VersionOfLine(id->known.versions, id->known.version_count, id->known.lines[position]);
}

// Whether the file line at position agrees with a present file: by digest
// when it is carried, by size when not.
static bool LineAgrees(const Identification* id, size_t position, const unsigned char* digest,
                       uint64_t size) {
  VersionFile file;
  ReadVersionFile(id->known.record, id->known.lines[position], &file);
  return digest != nullptr ? memcmp(file.digest, digest, kSha256Size) == 0 : file.size == size;
}

// Counts a present file against the versions that list it, positions
// [first, end) of the index. A version whose file it is not is contradicted
// unless the file is new. Agreement is counted only when it tells versions
// apart: a file that every version shares says nothing of which one is
// there. True when some version has it.
static bool Tally(Identification* id, size_t first, size_t end, const unsigned char* digest,
                  uint64_t size, bool is_new) {
  size_t agreeing = 0;
  for (size_t position = first; position < end; ++position) {
    if (LineAgrees(id, position, digest, size)) {
      ++agreeing;
    } else if (!is_new) {
      id->contradicted[LineVersion(id, position)] = true;
    }
  }
  if (agreeing == 0 || agreeing == id->known.version_count) return agreeing > 0;
  for (size_t position = first; position < end; ++position) {
    if (LineAgrees(id, position, digest, size)) ++id->agreed[LineVersion(id, position)];
  }
  return true;
}

FileJudgement JudgeCarriedFile(Identification* id, const char* path, size_t length,
                               const unsigned char* new_digest, const unsigned char* digest) {
  ++id->carried_count;
  bool is_new = digest != nullptr && memcmp(digest, new_digest, kSha256Size) == 0;
  if (is_new) ++id->carried_new;
  const KnownVersions& known = id->known;
  if (known.record == nullptr) {
    return digest == nullptr ? kFileMissing : is_new ? kFileNew : kFileOld;
  }
  size_t first, end;
  FindVersionPath(known.record, known.lines, known.line_count, path, length, &first, &end);
  for (size_t position = first; position < end; ++position) id->carried[position] = 1;
  if (digest == nullptr) return kFileMissing;
  bool is_old = Tally(id, first, end, digest, 0, is_new);
  if (is_new) return kFileNew;
  if (is_old) return kFileOld;
  ++id->unknown_count;
  return kFileUnknown;
}

FileJudgement JudgeUnreadableFile(Identification* id, const char* path, size_t length) {
  ++id->carried_count;
  const KnownVersions& known = id->known;
  if (known.record == nullptr) return kFileOld;
  size_t first, end;
  FindVersionPath(known.record, known.lines, known.line_count, path, length, &first, &end);
  for (size_t position = first; position < end; ++position) id->carried[position] = 1;
  ++id->unknown_count;
  return kFileUnknown;
}

bool NextUncarriedFile(const Identification* id, size_t* cursor, UncarriedFile* file) {
  const KnownVersions& known = id->known;
  if (known.record == nullptr) return false;
  while (*cursor < known.line_count) {
    size_t first = *cursor;
    size_t length;
    VersionFile line;
    ReadVersionFile(known.record, known.lines[first], &line);
    const char* path = known.record + line.path_offset;
    length = line.path_length;
    size_t end = first + 1;
    while (end < known.line_count) {
      VersionFile next;
      ReadVersionFile(known.record, known.lines[end], &next);
      if (ComparePaths(known.record + next.path_offset, next.path_length, path, length) != 0) {
        break;
      }
      ++end;
    }
    *cursor = end;
    if (id->carried[first]) continue;
    *file = {first, end, path, length};
    return true;
  }
  return false;
}

FileJudgement JudgeUncarriedFile(Identification* id, const UncarriedFile* file, bool present,
                                 uint64_t size) {
  if (!present) return kFileMissing;
  if (Tally(id, file->first, file->end, nullptr, size, false)) return kFileOld;
  ++id->unknown_count;
  return kFileUnknown;
}

IdentifyOutcome IdentificationOutcome(const Identification* id) {
  // Only a record names what is unknown; without one nothing is refused.
  if (id->unknown_count > 0) return kIdentifyRefuse;
  // No carried file at all is applied too: there is nothing to copy.
  if (id->carried_new == id->carried_count) return kIdentifyApplied;
  return kIdentifyUpdate;
}

bool VersionMatches(const Identification* id, size_t version) {
  return version < id->known.version_count && !id->contradicted[version];
}

bool VersionSeen(const Identification* id, size_t version) {
  return version < id->known.version_count && id->agreed[version] > 0;
}
