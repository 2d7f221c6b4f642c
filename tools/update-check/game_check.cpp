#include "game_check.h"

#include <string.h>

#include "cp932_text.h"
#include "game_files.h"
#include "medium_files.h"
#include "proof_check.h"
#include "settings/settings.h"
#include "sha256_bytes.h"
#include "verify/hash_list.h"
#include "versions/identify.h"

namespace {

struct HeldList {
  std::string bytes;
  std::vector<size_t> index;
};

// The list as the updater takes it; false when it refuses the medium for
// it (the checker has said why).
bool HoldList(const std::string& medium_dir, HeldList* list) {
  std::string found;
  if (FindOnMedium(medium_dir, "update.sha256", &found) != MediumEntry::kFile ||
      !ReadMediumFile(found, &list->bytes) || list->bytes.size() > kMaxHashListSize ||
      FirstMalformedLine(list->bytes.data(), list->bytes.size()) != 0) {
    return false;
  }
  list->index.resize(kMaxHashLines);
  size_t count =
      IndexHashList(list->bytes.data(), list->bytes.size(), list->index.data(), kMaxHashLines);
  if (count > kMaxHashLines) return false;
  list->index.resize(count);
  return true;
}

HashLookup Listed(const HeldList& list, const std::string& path, unsigned char* digest) {
  return FindIndexedHash(list.bytes.data(), list.index.data(), list.index.size(), path.data(),
                         path.size(), digest);
}

struct HeldRecord {
  std::string bytes;
  std::vector<VersionHeading> versions;
  std::vector<size_t> lines;
  std::vector<unsigned char> carried;
};

// The record the list vouches for, or none. False when the updater refuses
// the medium for it.
bool HoldRecord(const std::string& medium_dir, const HeldList& list, HeldRecord* record,
                bool* has_record) {
  unsigned char listed[kSha256Size];
  HashLookup lookup = Listed(list, "update.versions", listed);
  *has_record = lookup == kHashListed;
  if (lookup == kHashNotListed) return true;
  if (lookup != kHashListed) return false;
  std::string found;
  unsigned char digest[kSha256Size];
  if (FindOnMedium(medium_dir, "update.versions", &found) != MediumEntry::kFile ||
      !ReadMediumFile(found, &record->bytes) || record->bytes.size() > kMaxVersionRecordSize ||
      !Sha256Of(record->bytes, digest) || memcmp(digest, listed, kSha256Size) != 0 ||
      FirstMalformedVersionLine(record->bytes.data(), record->bytes.size()) != 0) {
    return false;
  }
  const char* bytes = record->bytes.data();
  size_t size = record->bytes.size();
  record->versions.resize(kMaxVersions);
  record->versions.resize(ListVersions(bytes, size, record->versions.data(), kMaxVersions));
  record->lines.resize(size / kMinVersionFileLine + 1);
  record->lines.resize(IndexVersionFiles(bytes, size, record->lines.data(), record->lines.size()));
  record->carried.resize(record->lines.size());
  return true;
}

}  // namespace

bool CheckGame(const std::string& medium_dir, const std::string& game_dir,
               const CheckReport& report, GameReport* game, std::string* error) {
  *game = GameReport();
  MediumListingScope listing;
  if (report.hash_list == "absent") {
    game->verdict = "none";
    return true;
  }
  HeldList list;
  HeldRecord record;
  if (!HoldList(medium_dir, &list) || !HoldRecord(medium_dir, list, &record, &game->record)) {
    return true;
  }
  KnownVersions known = {};
  if (game->record) {
    known = {record.bytes.data(),    record.bytes.size(), record.versions.data(),
             record.versions.size(), record.lines.data(), record.lines.size()};
  }
  Identification id;
  StartIdentification(&id, &known, record.carried.data());
  // The carried files: every entry the copy takes, each hashed whole.
  for (const CopyItem& item : report.copy) {
    if (item.refused) continue;
    const char* entry = settings.files[item.entry].name;
    unsigned char new_digest[kSha256Size];
    // An entry the list does not vouch for: the updater refuses the medium.
    if (Listed(list, ListSpelling(entry), new_digest) != kHashListed) {
      *game = GameReport();
      return true;
    }
    std::string found;
    unsigned char digest[kSha256Size];
    bool present = FindOnMedium(game_dir, entry, &found) == MediumEntry::kFile;
    if (present && !HashGameFile(found, digest)) {
      *error = "cannot read " + found;
      return false;
    }
    std::string path = GameSpelling(entry);
    FileJudgement judged =
        JudgeCarriedFile(&id, path.data(), path.size(), new_digest, present ? digest : nullptr);
    if (judged != kFileNew) game->copy.push_back(path);
    if (judged == kFileUnknown) game->unmatched.push_back(path);
  }
  // The other files of the known versions, by size.
  size_t cursor = 0;
  UncarriedFile file;
  while (NextUncarriedFile(&id, &cursor, &file)) {
    std::string path(file.path, file.length);
    std::string cp932, found;
    uint64_t size = 0;
    // A name that code page 932 cannot spell is no file the updater opens.
    bool present =
        EncodeCp932(path, &cp932) && FindOnMedium(game_dir, cp932, &found) == MediumEntry::kFile;
    if (present && !GameFileSize(found, &size)) {
      *error = "cannot read the size of " + found;
      return false;
    }
    if (JudgeUncarriedFile(&id, &file, present, size) == kFileUnknown) {
      game->unmatched.push_back(path);
    }
  }
  IdentifyOutcome outcome = IdentificationOutcome(&id);
  game->verdict = outcome == kIdentifyRefuse    ? "refuse"
                  : outcome == kIdentifyApplied ? "applied"
                                                : "update";
  for (size_t v = 0; v < known.version_count; ++v) {
    std::string label =
        record.bytes.substr(record.versions[v].label_offset, record.versions[v].label_length);
    if (VersionMatches(&id, v)) game->versions.push_back(label);
    if (VersionSeen(&id, v)) game->between.push_back(label);
  }
  if (!game->versions.empty()) game->between.clear();
  return true;
}
