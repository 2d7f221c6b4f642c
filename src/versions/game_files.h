// The game folder's files as the identification finds them, judged one by
// one against the update's new files and the version record's versions.
#pragma once

#include <stddef.h>

#include "preflight/preflight_text.h"
#include "verify/hash_list.h"
#include "versions/identify.h"

struct GameFile {
  bool present;
  bool unreadable;  // there, but it could not be read whole: it matches nothing
  unsigned long long size;
  unsigned char digest[kSha256Size];  // of a carried file, once hashed
};

// Checks and indexes the record HeldVersions gives, if any. False when it
// is malformed.
bool IndexVersionRecord();

// Forgets every judgement; names of files that match nothing go to unknown.
void StartJudging(NameList* unknown);

// A carried entry (its index in the file list) and its game file, hashed.
// An entry already new is marked so.
void JudgeCarried(int entry, const GameFile& file);

// Walks the files of the known versions that the update does not carry,
// giving the next one's path in the game folder (game_dir joined to it, code
// page 932) in path; false when none is left. StartJudging and every
// JudgeCarried come first.
bool NextUncarriedPath(const char* game_dir, char* path, size_t size);
// The file NextUncarriedPath gave last, sized.
void JudgeUncarried(const GameFile& file);

// The outcome once every file was judged.
IdentifyOutcome GameVerdict();
