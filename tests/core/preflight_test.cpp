#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "preflight/preflight_text.h"
#include "preflight/space_plan.h"
#include "text/sjis.h"
#include "test_support.h"

namespace {

constexpr unsigned long long kKB = 1024;
constexpr unsigned long long kMB = kKB * 1024;
constexpr unsigned long long kGB = kMB * 1024;
constexpr unsigned long long kTB = kGB * 1024;

struct Replacement {
  unsigned long long new_size;
  unsigned long long old_size;  // 0: a new file
};

struct SpaceCase {
  const char* what;
  std::vector<Replacement> entries;
  unsigned long long needed;
};

TEST(SpacePlan, PeakNeedIsGrowthPlusTheLargestNewFile) {
  const SpaceCase cases[] = {
      {"nothing to copy", {}, 0},
      {"one new file: it, and its temporary copy's room", {{3 * kMB, 0}}, 6 * kMB},
      {"a larger replacement counts its growth", {{5 * kMB, 2 * kMB}}, 3 * kMB + 5 * kMB},
      {"a smaller replacement frees nothing in advance", {{1 * kMB, 4 * kMB}}, 1 * kMB},
      {"equal sizes", {{7 * kKB, 7 * kKB}}, 7 * kKB},
      {"mixed: growth summed, shrinking ignored, largest new file added",
       {{10, 0}, {500, 100}, {50, 900}, {2000, 1990}},
       10 + 400 + 10 + 2000},
      {"the largest file is the largest new one, not the largest old one",
       {{100, 0}, {10, 5000}},
       100 + 100},
      {"sizes beyond 4 GB", {{6 * kGB, 5 * kGB}, {3 * kGB, 0}}, 1 * kGB + 3 * kGB + 6 * kGB},
  };
  for (const SpaceCase& c : cases) {
    SpacePlan plan;
    ClearSpacePlan(&plan, 1);
    for (const Replacement& r : c.entries) PlanReplacement(&plan, r.new_size, r.old_size);
    EXPECT_EQ(SpaceNeeded(plan), c.needed) << c.what;
  }
}

struct ClusterCase {
  const char* what;
  unsigned long long cluster;
  std::vector<Replacement> entries;
  unsigned long long needed;
};

// Every file, its temporary copy and its growth take whole allocation units.
TEST(SpacePlan, FilesTakeWholeAllocationUnits) {
  std::vector<Replacement> small_files(200, {1 * kKB, 0});
  const ClusterCase cases[] = {
      {"200 files of 1 KB on 128 KB units", 128 * kKB, small_files, 201 * 128 * kKB},
      {"a file of exactly one unit", 4 * kKB, {{4 * kKB, 0}}, 8 * kKB},
      {"one byte past a unit takes another", 4 * kKB, {{4 * kKB + 1, 0}}, 16 * kKB},
      {"an empty file takes none", 4 * kKB, {{0, 0}}, 0},
      {"growth within the last unit grows nothing", 4 * kKB, {{5000, 4500}}, 8 * kKB},
      {"growth across a unit's end takes a unit", 4 * kKB, {{4100, 4000}}, 4 * kKB + 8 * kKB},
      {"shrinking within a unit frees nothing",
       4 * kKB,
       {{100, 4000}, {4100, 0}},
       8 * kKB + 8 * kKB},
      {"a unit read as 0 counts bytes", 0, {{10, 0}}, 20},
      {"sizes beyond 4 GB on 64 KB units",
       64 * kKB,
       {{5 * kGB + 1, 5 * kGB}},
       64 * kKB + 5 * kGB + 64 * kKB},
  };
  for (const ClusterCase& c : cases) {
    SpacePlan plan;
    ClearSpacePlan(&plan, c.cluster);
    for (const Replacement& r : c.entries) PlanReplacement(&plan, r.new_size, r.old_size);
    EXPECT_EQ(SpaceNeeded(plan), c.needed) << c.what;
  }
}

struct SizeCase {
  unsigned long long bytes;
  SizeRounding rounding;
  const char* shown;
};

TEST(SpacePlan, SizesReadAsAPersonReadsThem) {
  const SizeCase cases[] = {
      {12 * kKB, kRoundUp, "12 KB"},
      {350 * kMB, kRoundDown, "350 MB"},
      {1288490189ull, kRoundDown, "1.2 GB"},  // 1.2 GB
      {1288490189ull, kRoundUp, "1.3 GB"},
      {0, kRoundUp, "0.0 KB"},
      {1, kRoundUp, "0.1 KB"},
      {1, kRoundDown, "0.0 KB"},
      {1023, kRoundDown, "0.9 KB"},
      {1024, kRoundDown, "1.0 KB"},
      {10 * kKB - 1, kRoundDown, "9.9 KB"},
      {10 * kKB - 1, kRoundUp, "10 KB"},
      {10 * kKB + 1, kRoundUp, "11 KB"},
      {1023 * kKB, kRoundUp, "1023 KB"},
      {1024 * kKB - 1, kRoundDown, "1023 KB"},
      {1024 * kKB - 1, kRoundUp, "1.0 MB"},  // 1024 KB reads as the next unit
      {3 * kMB, kRoundUp, "3.0 MB"},
      {3 * kMB + 1, kRoundUp, "3.1 MB"},
      {3 * kMB + 1, kRoundDown, "3.0 MB"},
      {999 * kGB, kRoundDown, "999 GB"},
      {2 * kTB, kRoundDown, "2.0 TB"},
      {5000 * kTB, kRoundDown, "5000 TB"},
      {~0ull, kRoundDown, "16777215 TB"},
  };
  for (const SizeCase& c : cases) {
    char out[32];
    ASSERT_TRUE(FormatSize(c.bytes, c.rounding, out, sizeof out)) << c.bytes;
    EXPECT_STREQ(out, c.shown) << c.bytes << (c.rounding == kRoundUp ? " up" : " down");
  }
}

NameList Names(int count, const std::string& prefix = "f") {
  NameList list;
  ClearNameList(&list);
  for (int i = 1; i <= count; ++i) AddName(&list, (prefix + std::to_string(i) + ".dat").c_str());
  return list;
}

std::string Lines(int count) {
  std::string lines;
  for (int i = 1; i <= count; ++i) lines += "\nf" + std::to_string(i) + ".dat";
  return lines;
}

TEST(PreflightText, MissingSourcesNameTenThenHowManyMore) {
  struct Case {
    int count;
    std::string names;
  };
  const Case cases[] = {
      {1, Lines(1)},
      {10, Lines(10)},
      {11, Lines(10) + Sjis("\nほか1個")},
      {256, Lines(10) + Sjis("\nほか246個")},
  };
  for (const Case& c : cases) {
    char out[1024];
    EXPECT_TRUE(FormatMissingText(Names(c.count), out, sizeof out));
    EXPECT_EQ(out, Sjis("ＵＰＤＡＴＥデータに次のファイルがありません。") + c.names) << c.count;
  }
}

TEST(PreflightText, NotThisVersionNamesTenThenHowManyMore) {
  const std::string head = Sjis(
      "インストールされているゲームは、このＵＰＤＡＴＥで更新できるバージョンではありません。");
  const std::pair<int, std::string> cases[] = {
      {1, Lines(1)}, {10, Lines(10)}, {11, Lines(10) + Sjis("\nほか1個")}};
  for (const auto& [count, names] : cases) {
    char out[1024];
    EXPECT_TRUE(FormatNotThisVersionText(Names(count), out, sizeof out));
    EXPECT_EQ(out, head + names) << count;
  }
}

// Ten names of two-byte characters near the longest entry pass 1024 bytes:
// the text is cut, never inside a character.
TEST(PreflightText, NotThisVersionCutAtACharacterBoundary) {
  NameList list;
  ClearNameList(&list);
  std::string name;
  while (name.size() + 2 <= kMaxEntryLength) name += Sjis("表");
  for (int i = 0; i < 12; ++i) AddName(&list, name.c_str());
  char out[1024];
  EXPECT_FALSE(FormatNotThisVersionText(list, out, sizeof out));
  std::string text = out;
  EXPECT_LE(text.size(), 1023u);
  EXPECT_GT(text.size(), 1020u);
  size_t i = 0;
  while (i < text.size()) i += CharLength(text.c_str() + i);
  EXPECT_EQ(i, text.size()) << "a character cut in two";
  EXPECT_EQ(text.substr(text.size() - 2), Sjis("表"));
}

TEST(PreflightText, TwoByteNamesStayWhole) {
  NameList list;
  ClearNameList(&list);
  AddName(&list, Sjis("データ\\表示.dat").c_str());
  char out[1024];
  FormatMissingText(list, out, sizeof out);
  EXPECT_EQ(out, Sjis("ＵＰＤＡＴＥデータに次のファイルがありません。\nデータ\\表示.dat"));
}

TEST(PreflightText, InUseNamesTheHoldingProgramOrTheGame) {
  struct Case {
    const char* what;
    int count;
    std::string holders;
    std::string text;
  };
  const std::string head = Sjis("次のファイルが使用中のため更新できません。");
  const Case cases[] = {
      {"no program named", 1, "",
       head + Lines(1) + Sjis("\nゲームを終了してから「再試行」を押してください。")},
      {"a named program", 2, Sjis("星降る丘の物語"),
       head + Lines(2) + Sjis("\n星降る丘の物語を終了してから「再試行」を押してください。")},
      {"two programs", 1, Sjis("game.exe、ウイルス対策"),
       head + Lines(1) +
           Sjis("\ngame.exe、ウイルス対策を終了してから「再試行」を押してください。")},
      {"more than ten files", 12, "game.exe",
       head + Lines(10) + Sjis("\nほか2個\ngame.exeを終了してから「再試行」を押してください。")},
  };
  for (const Case& c : cases) {
    char out[1024];
    EXPECT_TRUE(FormatInUseText(Names(c.count), c.holders.c_str(), out, sizeof out));
    EXPECT_EQ(out, c.text) << c.what;
  }
}

TEST(PreflightText, HolderNamesJoinedOnceEach) {
  struct Case {
    std::vector<std::string> added;
    std::string joined;
  };
  const Case cases[] = {
      {{"game.exe"}, "game.exe"},
      {{"game.exe", "game.exe"}, "game.exe"},
      {{"game.exe", "scan", "game.exe"}, Sjis("game.exe、scan")},
      {{"game", "game.exe"}, Sjis("game、game.exe")},
      {{"", "a"}, "a"},
      // ａA holds the separator's bytes across two characters: not a
      // separator, so B is no name of the list yet.
      {{Sjis("ａAB"), "B"}, Sjis("ａAB、B")},
  };
  for (const Case& c : cases) {
    char holders[64] = "";
    for (const std::string& name : c.added)
      EXPECT_TRUE(AddHolderName(holders, sizeof holders, name.c_str()));
    EXPECT_EQ(holders, c.joined);
  }
  char small[12] = "";
  EXPECT_TRUE(AddHolderName(small, sizeof small, "abcdefgh"));
  EXPECT_FALSE(AddHolderName(small, sizeof small, "ijk"));
  EXPECT_STREQ(small, "abcdefgh") << "a name that does not fit leaves the list as it was";
}

TEST(PreflightText, SpaceAndFolderTexts) {
  char out[1024];
  EXPECT_TRUE(FormatNoSpaceText(3 * kMB + 10 * kKB, 1 * kMB - 1, out, sizeof out));
  EXPECT_EQ(out, Sjis("ゲームフォルダのドライブの空き容量が足りません。\n必要な空き容量：3.1 MB\n"
                      "現在の空き容量：1023 KB"));
  EXPECT_TRUE(FormatNotWritableText("C:\\Program Files\\GAME", out, sizeof out));
  EXPECT_EQ(out, Sjis("ゲームフォルダに書き込めません。\nC:\\Program Files\\GAME\n"
                      "管理者として実行するか、フォルダのアクセス許可を確認してください。"));
  // The folder as the updater holds it, "?" where a character could not be
  // spelled; a trail byte 0x5C (表) stays part of its character.
  EXPECT_TRUE(FormatUnmappableFolderText(Sjis("C:\\代表\\Jos?").c_str(), out, sizeof out));
  EXPECT_EQ(out, Sjis("ゲームフォルダの名前に、このＵＰＤＡＴＥでは扱えない文字が含まれています。\n"
                      "C:\\代表\\Jos?"));
  char small[40];
  EXPECT_FALSE(FormatUnmappableFolderText("C:\\Game", small, sizeof small)) << "cut to fit";
}

}  // namespace
