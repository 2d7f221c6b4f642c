#include "versions/game_files.h"

#include <string.h>
#include <windows.h>

#include "settings/settings.h"
#include "text/format.h"
#include "verify/medium_proof.h"
#include "win/wide_text.h"

// The record's versions and its file lines ordered by path, built once.
static VersionHeading headings[kMaxVersions];
static size_t lines[kMaxVersionFileLines];
static unsigned char carried_lines[kMaxVersionFileLines];
static KnownVersions known;
static Identification identification;
static size_t uncarried_cursor;
static UncarriedFile uncarried;
static NameList* unknown_names;
// An uncarried path in the game folder's spelling, relative and joined.
static char relative[kMaxListedPath + 1];
static wchar_t wide[kMaxListedPath + 1];

bool IndexVersionRecord() {
  known = {};
  size_t size = 0;
  const char* record = HeldVersions(&size);
  if (record == nullptr) return true;
  if (FirstMalformedVersionLine(record, size) != 0) return false;
  known.record = record;
  known.size = size;
  known.versions = headings;
  known.version_count = ListVersions(record, size, headings, kMaxVersions);
  known.lines = lines;
  known.line_count = IndexVersionFiles(record, size, lines, kMaxVersionFileLines);
  return known.line_count <= kMaxVersionFileLines;
}

void StartJudging(NameList* unknown) {
  unknown_names = unknown;
  ClearNameList(unknown);
  StartIdentification(&identification, &known, carried_lines);
  uncarried_cursor = 0;
}

void JudgeCarried(int entry, const GameFile& file) {
  const char* name = settings.files[entry].name;
  char path[kMaxListedPath + 1];
  unsigned char new_digest[kSha256Size];
  // Every entry was found listed when the medium was proven; one that is
  // not now cannot be judged, and counts as a file that cannot be read.
  bool spelled = GameSpelling(name, path, sizeof path) && ListedDigest(name, new_digest);
  if (!spelled) path[0] = '\0';
  FileJudgement judged = !spelled || (file.present && file.unreadable)
                             ? JudgeUnreadableFile(&identification, path, strlen(path))
                             : JudgeCarriedFile(&identification, path, strlen(path), new_digest,
                                                file.present ? file.digest : nullptr);
  if (judged == kFileNew) MarkAlreadyNew(entry);
  if (judged == kFileUnknown) AddName(unknown_names, name);
}

// The record's spelling (UTF-8, '/') of a path as the game folder's (code
// page 932, '\'). A name that code page 932 cannot spell exactly has no
// file the update could reach: false.
static bool FolderSpelling(const char* path, size_t length, char* out, size_t size) {
  int count = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, static_cast<int>(length),
                                  wide, kMaxListedPath);
  if (count <= 0) return false;
  for (int i = 0; i < count; ++i) {
    if (wide[i] == L'/') wide[i] = L'\\';
  }
  BOOL used_default = FALSE;
  int bytes = WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, wide, count, out,
                                  static_cast<int>(size) - 1, nullptr, &used_default);
  if (bytes <= 0 || used_default) return false;
  out[bytes] = '\0';
  return true;
}

bool NextUncarriedPath(const char* game_dir, char* path, size_t size) {
  while (NextUncarriedFile(&identification, &uncarried_cursor, &uncarried)) {
    if (FolderSpelling(uncarried.path, uncarried.length, relative, sizeof relative) &&
        FormatText(path, size, "%s\\%s", game_dir, relative)) {
      return true;
    }
  }
  return false;
}

void JudgeUncarried(const GameFile& file) {
  FileJudgement judged;
  if (file.unreadable) {
    // A folder of that name, or a file that cannot be looked at: no size
    // to compare, and no version has it so.
    ++identification.unknown_count;
    judged = kFileUnknown;
  } else {
    judged = JudgeUncarriedFile(&identification, &uncarried, file.present, file.size);
  }
  if (judged == kFileUnknown) AddName(unknown_names, relative);
}

IdentifyOutcome GameVerdict() {
  return IdentificationOutcome(&identification);
}
