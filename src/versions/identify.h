// Which known version a game folder holds, judged one file at a time so that
// the caller may read the folder in steps. No file access here: the caller
// hashes or sizes each file and hands the result in, so the updater and
// update-check reach the same verdict on the same folder.
//
// Paths are the game-relative spelling of update.versions and update.sha256:
// UTF-8, '/' between names.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "versions/version_record.h"

// A well-formed record with the indexes the reader made of it. A null record
// stands for a medium that has none: it knows no old version, so it refuses
// nothing.
struct KnownVersions {
  const char* record;
  size_t size;
  const VersionHeading* versions;  // ListVersions
  size_t version_count;
  const size_t* lines;  // IndexVersionFiles
  size_t line_count;
};

enum FileJudgement {
  kFileNew,      // holds the update's bytes: nothing to copy
  kFileOld,      // is that file of a known version (without a record: any other bytes)
  kFileMissing,  // not in the folder; a carried one is copied
  kFileUnknown,  // matches no known version
};

enum IdentifyOutcome {
  kIdentifyRefuse,   // some file matches no known version
  kIdentifyApplied,  // every carried file is present and new
  kIdentifyUpdate,   // copy the carried files that are not new
};

struct Identification {
  KnownVersions known;
  unsigned char* carried;  // one flag per index line: a carried file has that path
  size_t carried_count;
  size_t carried_new;
  size_t unknown_count;
  // Per version: a present file has other bytes (or size) than it lists.
  bool contradicted[kMaxVersions];
  // Per version: present files that are exactly its own and not every
  // version's (new bytes aside).
  size_t agreed[kMaxVersions];
};

// Starts a judgement of a folder against known. carried: storage for
// known->line_count flags (unused without a record).
void StartIdentification(Identification* id, const KnownVersions* known, unsigned char* carried);

// Judges a file the update carries. new_digest: its digest on the medium;
// digest: the game file's, null when the folder has no such file. Every
// carried file is judged before the first NextUncarriedFile.
FileJudgement JudgeCarriedFile(Identification* id, const char* path, size_t length,
                               const unsigned char* new_digest, const unsigned char* digest);

// Judges a carried file that is there but could not be read whole: with a
// record it matches no known version; without one it is simply copied.
FileJudgement JudgeUnreadableFile(Identification* id, const char* path, size_t length);

// A path of the known versions that no carried file has: positions
// [first, end) of its lines in the index.
struct UncarriedFile {
  size_t first;
  size_t end;
  const char* path;
  size_t length;
};

// Steps *cursor (0 at the start) to the next uncarried path, in byte order.
// False when there is none left.
bool NextUncarriedFile(const Identification* id, size_t* cursor, UncarriedFile* file);

// Judges an uncarried file by its size alone; present false when the folder
// has no such file.
FileJudgement JudgeUncarriedFile(Identification* id, const UncarriedFile* file, bool present,
                                 uint64_t size);

// The verdict once every file is judged: refuse before applied before update.
IdentifyOutcome IdentificationOutcome(const Identification* id);

// Whether no present file contradicts version: each is its own file (by
// digest when carried, by size otherwise) or, when carried, new.
bool VersionMatches(const Identification* id, size_t version);

// Whether some present file is version's own and tells it from another
// known version: with no version matching, the versions a folder lies
// between.
bool VersionSeen(const Identification* id, size_t version);
