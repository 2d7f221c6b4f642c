// The judgement of a game folder against the versions a medium knows: each
// row is a folder, judged as the updater reads it, carried files first.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "versions/identify.h"

namespace {

// A stand-in digest: 32 bytes of one value.
std::string Digest(unsigned char value) {
  return std::string(kSha256Size, static_cast<char>(value));
}

std::string Line(unsigned char digest, uint64_t size, const std::string& path) {
  char hex[2 * kSha256Size + 1];
  FormatDigest(reinterpret_cast<const unsigned char*>(Digest(digest).data()), hex);
  return std::string(hex) + " " + std::to_string(size) + " " + path + "\n";
}

// 1.00 and 1.01 as released; 1.02 is the update. data/a.dat and game.exe
// changed in every release, new.dat came with 1.02; readme.txt never
// changed and data/b.dat came with 1.01, so the update carries neither.
const std::string kRecord =
    "version 1.00\n" + Line(0xA0, 5, "data/a.dat") + Line(0xE0, 100, "game.exe") +
    Line(0x55, 10, "readme.txt") + "version 1.01\n" + Line(0xA1, 6, "data/a.dat") +
    Line(0xB1, 7, "data/b.dat") + Line(0xE1, 101, "game.exe") + Line(0x55, 10, "readme.txt");

struct Carried {
  const char* path;
  unsigned char new_digest;
};
const Carried kCarried[] = {{"game.exe", 0xE2}, {"data/a.dat", 0xA2}, {"new.dat", 0x72}};

struct GameFile {
  unsigned char digest;
  uint64_t size;
};
using Game = std::map<std::string, GameFile>;

const Game k100 = {
    {"data/a.dat", {0xA0, 5}}, {"game.exe", {0xE0, 100}}, {"readme.txt", {0x55, 10}}};
const Game k101 = {{"data/a.dat", {0xA1, 6}},
                   {"data/b.dat", {0xB1, 7}},
                   {"game.exe", {0xE1, 101}},
                   {"readme.txt", {0x55, 10}}};
const Game k102 = {{"data/a.dat", {0xA2, 8}},
                   {"data/b.dat", {0xB1, 7}},
                   {"game.exe", {0xE2, 102}},
                   {"new.dat", {0x72, 1}},
                   {"readme.txt", {0x55, 10}}};

Game With(Game game, const std::string& path, GameFile file) {
  game[path] = file;
  return game;
}

Game Without(Game game, const std::string& path) {
  game.erase(path);
  return game;
}

struct Verdict {
  IdentifyOutcome outcome;
  std::vector<std::string> copied;   // carried files not new, in update.ini order
  std::vector<std::string> unknown;  // carried first, then uncarried in byte order
  std::vector<std::string> matches;  // labels
  std::vector<std::string> seen;     // labels
};

struct Judge {
  explicit Judge(const std::string& text) : record(text) {}
  std::string record;
  std::vector<VersionHeading> versions = std::vector<VersionHeading>(kMaxVersions);
  std::vector<size_t> lines;
  std::vector<unsigned char> carried;
  std::vector<std::string> uncarried_paths;

  Verdict Run(const Game& game, bool with_record = true) {
    KnownVersions known = {};
    if (with_record) {
      EXPECT_EQ(FirstMalformedVersionLine(record.data(), record.size()), 0u);
      known.record = record.data();
      known.size = record.size();
      known.versions = versions.data();
      known.version_count =
          ListVersions(record.data(), record.size(), versions.data(), versions.size());
      lines.resize(record.size() / kMinVersionFileLine);
      known.lines = lines.data();
      known.line_count =
          IndexVersionFiles(record.data(), record.size(), lines.data(), lines.size());
      carried.assign(known.line_count, 7);
    }
    Identification id;
    StartIdentification(&id, &known, carried.data());
    Verdict verdict;
    for (const Carried& c : kCarried) {
      auto found = game.find(c.path);
      std::string digest = found == game.end() ? "" : Digest(found->second.digest);
      std::string new_digest = Digest(c.new_digest);
      FileJudgement judged = JudgeCarriedFile(
          &id, c.path, strlen(c.path), reinterpret_cast<const unsigned char*>(new_digest.data()),
          digest.empty() ? nullptr : reinterpret_cast<const unsigned char*>(digest.data()));
      EXPECT_EQ(judged == kFileMissing, found == game.end()) << c.path;
      if (judged != kFileNew) verdict.copied.push_back(c.path);
      if (judged == kFileUnknown) verdict.unknown.push_back(c.path);
    }
    size_t cursor = 0;
    UncarriedFile file;
    uncarried_paths.clear();
    while (NextUncarriedFile(&id, &cursor, &file)) {
      std::string path(file.path, file.length);
      uncarried_paths.push_back(path);
      auto found = game.find(path);
      FileJudgement judged = JudgeUncarriedFile(&id, &file, found != game.end(),
                                                found == game.end() ? 0 : found->second.size);
      EXPECT_NE(judged, kFileNew) << path;
      if (judged == kFileUnknown) verdict.unknown.push_back(path);
    }
    verdict.outcome = IdentificationOutcome(&id);
    for (size_t v = 0; v < known.version_count; ++v) {
      std::string label(record, versions[v].label_offset, versions[v].label_length);
      if (VersionMatches(&id, v)) verdict.matches.push_back(label);
      if (VersionSeen(&id, v)) verdict.seen.push_back(label);
    }
    return verdict;
  }
};

using Names = std::vector<std::string>;

struct FolderCase {
  const char* name;
  Game game;
  IdentifyOutcome outcome;
  Names copied;
  Names unknown;
  Names matches;
  Names seen;
};

const Names kAllCarried = {"game.exe", "data/a.dat", "new.dat"};

const FolderCase kFolders[] = {
    {"Exact100", k100, kIdentifyUpdate, kAllCarried, {}, {"1.00"}, {"1.00"}},
    {"Exact101", k101, kIdentifyUpdate, kAllCarried, {}, {"1.01"}, {"1.01"}},
    // A save beside the game is no file of any version: never looked at.
    {"SaveFileBeside",
     With(k100, "save/1.sav", {0x99, 3}),
     kIdentifyUpdate,
     kAllCarried,
     {},
     {"1.00"},
     {"1.00"}},
    // 1.01's data/a.dat with 1.00's game.exe: the medium carries both.
    {"HalfWayBetween",
     With(k100, "data/a.dat", {0xA1, 6}),
     kIdentifyUpdate,
     kAllCarried,
     {},
     {},
     {"1.00", "1.01"}},
    {"Older",
     With(With(k100, "game.exe", {0xE9, 99}), "data/a.dat", {0xA9, 4}),
     kIdentifyRefuse,
     kAllCarried,
     {"game.exe", "data/a.dat"},
     {},
     {}},
    {"Newer",
     With(With(k102, "game.exe", {0xE3, 103}), "data/a.dat", {0xA3, 9}),
     kIdentifyRefuse,
     Names{"game.exe", "data/a.dat"},
     {"game.exe", "data/a.dat"},
     {},
     {"1.01"}},
    // Same size as 1.00's, other bytes: the hash tells them apart.
    {"CarriedRightSizeWrongBytes",
     With(k100, "data/a.dat", {0xAF, 5}),
     kIdentifyRefuse,
     kAllCarried,
     {"data/a.dat"},
     {},
     {"1.00"}},
    {"UncarriedWrongSize",
     With(k100, "readme.txt", {0x55, 11}),
     kIdentifyRefuse,
     kAllCarried,
     {"readme.txt"},
     {},
     {"1.00"}},
    // Only the size of an uncarried file is read: other bytes pass.
    {"UncarriedSameSizeOtherBytes",
     With(k100, "readme.txt", {0x56, 10}),
     kIdentifyUpdate,
     kAllCarried,
     {},
     {"1.00"},
     {"1.00"}},
    // A file the update brings, already there with other bytes.
    {"CarriedNewPathOtherBytes",
     With(k100, "new.dat", {0x71, 1}),
     kIdentifyRefuse,
     kAllCarried,
     {"new.dat"},
     {"1.00"},
     {"1.00"}},
    {"MissingFilesAllowed",
     Without(Without(k100, "data/a.dat"), "readme.txt"),
     kIdentifyUpdate,
     kAllCarried,
     {},
     {"1.00"},
     {"1.00"}},
    {"EmptyFolder", {}, kIdentifyUpdate, kAllCarried, {}, {"1.00", "1.01"}, {}},
    {"Applied", k102, kIdentifyApplied, {}, {}, {"1.00", "1.01"}, {"1.01"}},
    {"AppliedWithoutUncarried",
     Without(Without(k102, "readme.txt"), "data/b.dat"),
     kIdentifyApplied,
     {},
     {},
     {"1.00", "1.01"},
     {}},
    // A run cut short after game.exe: only the rest is copied.
    {"HalfUpdated",
     With(k100, "game.exe", {0xE2, 102}),
     kIdentifyUpdate,
     Names{"data/a.dat", "new.dat"},
     {},
     {"1.00"},
     {"1.00"}},
    {"AppliedButOneCarriedMissing",
     Without(k102, "new.dat"),
     kIdentifyUpdate,
     Names{"new.dat"},
     {},
     {"1.00", "1.01"},
     {"1.01"}},
};

class IdentifyTest : public ::testing::TestWithParam<FolderCase> {};

void PrintTo(const FolderCase& c, std::ostream* os) {
  *os << c.name;
}

TEST_P(IdentifyTest, JudgesTheFolder) {
  const FolderCase& c = GetParam();
  Judge judge(kRecord);
  Verdict verdict = judge.Run(c.game);
  EXPECT_EQ(verdict.outcome, c.outcome);
  EXPECT_EQ(verdict.copied, c.copied);
  EXPECT_EQ(verdict.unknown, c.unknown);
  EXPECT_EQ(verdict.matches, c.matches);
  EXPECT_EQ(verdict.seen, c.seen);
  EXPECT_EQ(judge.uncarried_paths, (Names{"data/b.dat", "readme.txt"}));
}

INSTANTIATE_TEST_SUITE_P(Folders, IdentifyTest, ::testing::ValuesIn(kFolders),
                         [](const ::testing::TestParamInfo<FolderCase>& info) {
                           return info.param.name;
                         });

// A medium without a record knows no old version: it skips what is new and
// refuses nothing.
TEST(Identify, WithoutRecordNeverRefuses) {
  Judge judge("");
  Verdict older = judge.Run(With(k100, "game.exe", {0xE9, 99}), false);
  EXPECT_EQ(older.outcome, kIdentifyUpdate);
  EXPECT_EQ(older.copied, kAllCarried);
  EXPECT_TRUE(older.unknown.empty());
  EXPECT_TRUE(judge.uncarried_paths.empty());
  Verdict half = judge.Run(With(k100, "game.exe", {0xE2, 102}), false);
  EXPECT_EQ(half.outcome, kIdentifyUpdate);
  EXPECT_EQ(half.copied, (Names{"data/a.dat", "new.dat"}));
  EXPECT_EQ(judge.Run(k102, false).outcome, kIdentifyApplied);
  EXPECT_EQ(judge.Run(Without(k102, "new.dat"), false).outcome, kIdentifyUpdate);
}

// A carried file unchanged in one version and changed in another: equal to
// the first's bytes, it is new and that version is seen.
TEST(Identify, CarriedFileSameInOneOldVersion) {
  Judge judge("version 1.00\n" + Line(0xE2, 102, "game.exe") + "version 1.01\n" +
              Line(0xE1, 101, "game.exe"));
  Verdict verdict = judge.Run({{"game.exe", {0xE2, 102}}, {"data/a.dat", {0xA2, 8}}});
  EXPECT_EQ(verdict.seen, (Names{"1.00"}));
  EXPECT_EQ(verdict.matches, (Names{"1.00", "1.01"}));
}

// A carried file that cannot be read: with a record it matches nothing and
// is not looked at again as an uncarried one; without a record it is copied.
TEST(Identify, UnreadableCarriedFile) {
  Judge judge(kRecord);
  for (bool with_record : {true, false}) {
    KnownVersions known = {};
    if (with_record) {
      known.record = judge.record.data();
      known.size = judge.record.size();
      known.versions = judge.versions.data();
      known.version_count =
          ListVersions(known.record, known.size, judge.versions.data(), judge.versions.size());
      judge.lines.resize(known.size / kMinVersionFileLine);
      known.lines = judge.lines.data();
      known.line_count =
          IndexVersionFiles(known.record, known.size, judge.lines.data(), judge.lines.size());
      judge.carried.assign(known.line_count, 0);
    }
    Identification id;
    StartIdentification(&id, &known, judge.carried.data());
    EXPECT_EQ(JudgeUnreadableFile(&id, "game.exe", 8), with_record ? kFileUnknown : kFileOld);
    size_t cursor = 0;
    UncarriedFile file;
    Names uncarried;
    while (NextUncarriedFile(&id, &cursor, &file)) uncarried.emplace_back(file.path, file.length);
    EXPECT_EQ(uncarried, with_record ? (Names{"data/a.dat", "data/b.dat", "readme.txt"}) : Names{});
    EXPECT_EQ(IdentificationOutcome(&id), with_record ? kIdentifyRefuse : kIdentifyUpdate);
  }
}

}  // namespace
