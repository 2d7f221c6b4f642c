// update-check --game: one medium packed from 1.00 and 1.01 to 1.02, and a
// player's folder per row, against the verdict the updater would reach.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "medium_fixture.h"
#include "sha256_bytes.h"

namespace {

const char kIni[] =
    "#INSTALL_LST\r\n[SYSTEM]\r\n##\r\n#FILE\r\n[SYSTEM]\r\ngame.exe\r\ndata\\a.dat\r\nnew.dat\r\n"
    "##\r\n";

using Tree = std::map<std::string, std::string>;

// data/a.dat and game.exe changed in each release; data/b.dat came with
// 1.01, new.dat with 1.02; readme.txt never changed.
const Tree k100 = {{"data/a.dat", "dat 1.00"}, {"game.exe", "exe 1.00"}, {"readme.txt", "readme"}};
const Tree k101 = {{"data/a.dat", "dat 1.01!"},
                   {"data/b.dat", "b"},
                   {"game.exe", "exe 1.01"},
                   {"readme.txt", "readme"}};
const Tree k102 = {{"data/a.dat", "dat 1.02"},
                   {"data/b.dat", "b"},
                   {"game.exe", "exe 1.02"},
                   {"new.dat", "new"},
                   {"readme.txt", "readme"}};

std::string VersionOf(const std::string& label, const Tree& tree) {
  std::string text = "version " + label + "\n";
  for (const auto& file : tree) {
    text +=
        Sha256Hex(file.second) + " " + std::to_string(file.second.size()) + " " + file.first + "\n";
  }
  return text;
}

const std::string kRecord = VersionOf("1.00", k100) + VersionOf("1.01", k101);

std::string Line(const std::string& bytes, const std::string& path) {
  return Sha256Hex(bytes) + "  " + path + "\n";
}

// The medium: update.ini, the files it carries, update.sha256 and, unless
// record is empty, update.versions listed after update.ini.
void WriteMedium(Medium* medium, const std::string& record, bool list_record = true) {
  medium->Write("update.ini", kIni);
  std::string list = Line(kIni, "update.ini");
  if (!record.empty()) {
    medium->Write("update.versions", record);
    if (list_record) list += Line(record, "update.versions");
  }
  for (const char* name : {"game.exe", "data/a.dat", "new.dat"}) {
    medium->Write(std::string("GAME/") + name, k102.at(name));
    list += Line(k102.at(name), std::string("GAME/") + name);
  }
  medium->Write("update.sha256", list);
}

Tree With(Tree tree, const std::string& path, const std::string& bytes) {
  tree[path] = bytes;
  return tree;
}

Tree Without(Tree tree, const std::string& path) {
  tree.erase(path);
  return tree;
}

using Names = std::vector<std::string>;
const Names kAll = {"game.exe", "data/a.dat", "new.dat"};

struct GameCase {
  const char* name;
  Tree game;
  int exit_code;
  const char* verdict;
  Names versions;
  Names between;
  Names unmatched;
  Names copy;
};

const GameCase kGames[] = {
    {"Exact100WithSave", With(k100, "save/1.sav", "mine"), 0, "update", {"1.00"}, {}, {}, kAll},
    {"Exact101", k101, 0, "update", {"1.01"}, {}, {}, kAll},
    {"Older", With(k100, "game.exe", "exe 0.99"), 1, "refuse", {}, {"1.00"}, {"game.exe"}, kAll},
    {"Newer",
     With(With(k102, "game.exe", "exe 1.03"), "data/a.dat", "dat 1.03"),
     1,
     "refuse",
     {},
     {"1.01"},
     {"game.exe", "data/a.dat"},
     {"game.exe", "data/a.dat"}},
    {"RightSizeWrongBytes",
     With(k100, "data/a.dat", "dat 1.0x"),
     1,
     "refuse",
     {},
     {"1.00"},
     {"data/a.dat"},
     kAll},
    {"UncarriedOtherSize",
     With(k100, "readme.txt", "readme, edited"),
     1,
     "refuse",
     {},
     {"1.00"},
     {"readme.txt"},
     kAll},
    {"HalfWayBetweenVersions",
     With(k100, "data/a.dat", "dat 1.01!"),
     0,
     "update",
     {},
     {"1.00", "1.01"},
     {},
     kAll},
    {"MissingFiles",
     Without(Without(k100, "data/a.dat"), "readme.txt"),
     0,
     "update",
     {"1.00"},
     {},
     {},
     kAll},
    {"Applied", k102, 0, "applied", {"1.00", "1.01"}, {}, {}, {}},
    {"HalfUpdated",
     With(k101, "game.exe", "exe 1.02"),
     0,
     "update",
     {"1.01"},
     {},
     {},
     {"data/a.dat", "new.dat"}},
    // The folder is read as Windows reads it: names in any case.
    {"OtherCase",
     Without(With(k100, "GAME.EXE", "exe 1.00"), "game.exe"),
     0,
     "update",
     {"1.00"},
     {},
     {},
     kAll},
};

class GameCaseTest : public ::testing::TestWithParam<GameCase> {};

void PrintTo(const GameCase& c, std::ostream* os) {
  *os << c.name;
}

Names Strings(const nlohmann::json& list) {
  Names names;
  for (const auto& item : list) names.push_back(item.get<std::string>());
  return names;
}

nlohmann::json GameJson(const Medium& medium, const Medium& game, int* exit_code) {
  CheckRun run = RunCheck({"--json", "--game", game.dir(), medium.dir()});
  *exit_code = run.exit_code;
  EXPECT_EQ(run.err, "");
  return nlohmann::json::parse(run.out);
}

Medium* WriteGame(const Tree& tree) {
  Medium* game = new Medium;
  for (const auto& file : tree) game->Write(file.first, file.second);
  return game;
}

TEST_P(GameCaseTest, ReachesTheUpdatersVerdict) {
  const GameCase& c = GetParam();
  Medium medium;
  WriteMedium(&medium, kRecord);
  std::unique_ptr<Medium> game(WriteGame(c.game));
  int exit_code = -1;
  nlohmann::json report = GameJson(medium, *game, &exit_code);
  EXPECT_EQ(report["problems"].size(), 0u) << report["problems"].dump(2);
  const nlohmann::json& judged = report["game"];
  EXPECT_EQ(exit_code, c.exit_code);
  EXPECT_EQ(judged["verdict"], c.verdict);
  EXPECT_EQ(judged["record"], true);
  EXPECT_EQ(judged["applied"], std::string(c.verdict) == "applied");
  EXPECT_EQ(Strings(judged["versions"]), c.versions);
  EXPECT_EQ(Strings(judged["between"]), c.between);
  EXPECT_EQ(Strings(judged["unmatched"]), c.unmatched);
  EXPECT_EQ(Strings(judged["copy"]), c.copy);
  // The text names the same files.
  CheckRun text = RunCheck({"--game", game->dir(), medium.dir()});
  EXPECT_EQ(text.exit_code, c.exit_code);
  const std::map<std::string, std::string> kVerdicts = {
      {"update", "update: "}, {"applied", "already applied"}, {"refuse", "refused"}};
  EXPECT_NE(text.out.find("\nVerdict:  " + kVerdicts.at(c.verdict)), std::string::npos) << text.out;
  for (const std::string& path : c.unmatched) {
    EXPECT_NE(text.out.find("\n  " + path + "\n"), std::string::npos) << text.out;
  }
}

INSTANTIATE_TEST_SUITE_P(Games, GameCaseTest, ::testing::ValuesIn(kGames),
                         [](const ::testing::TestParamInfo<GameCase>& info) {
                           return info.param.name;
                         });

// Without a record the medium knows no old version: it skips what is new
// and refuses nothing.
TEST(GameCase, ListWithoutRecordNeverRefuses) {
  Medium medium;
  WriteMedium(&medium, "");
  for (const Tree& tree : {With(k100, "game.exe", "exe 0.99"), k102}) {
    std::unique_ptr<Medium> game(WriteGame(tree));
    int exit_code = -1;
    nlohmann::json report = GameJson(medium, *game, &exit_code);
    EXPECT_EQ(exit_code, 0);
    EXPECT_EQ(report["game"]["record"], false);
    EXPECT_EQ(report["game"]["verdict"], tree == k102 ? "applied" : "update");
    EXPECT_EQ(Strings(report["game"]["copy"]), tree == k102 ? Names{} : kAll);
  }
}

// A record the list does not vouch for is not believed.
TEST(GameCase, UnlistedRecordIsNotBelieved) {
  Medium medium;
  WriteMedium(&medium, kRecord, false);
  std::unique_ptr<Medium> game(WriteGame(With(k100, "game.exe", "exe 0.99")));
  int exit_code = -1;
  nlohmann::json report = GameJson(medium, *game, &exit_code);
  EXPECT_EQ(exit_code, 0);
  EXPECT_EQ(report["game"]["verdict"], "update");
  EXPECT_EQ(report["game"]["record"], false);
  ASSERT_EQ(report["problems"].size(), 1u);
  EXPECT_EQ(report["problems"][0]["code"], "versions-unlisted");
  EXPECT_EQ(report["problems"][0]["severity"], "warning");
  EXPECT_EQ(report["proof"]["update_versions"], "unlisted");
}

struct BrokenRecordCase {
  const char* name;
  std::string listed;  // the record update.sha256 vouches for
  std::string on_medium;
  std::string problem;  // "line:code"
};

const BrokenRecordCase kBroken[] = {
    {"Malformed", kRecord + "junk\n", kRecord + "junk\n", "10:versions-malformed"},
    {"CrLf", "version 1.00\r\n", "version 1.00\r\n", "1:versions-malformed"},
    {"Altered", kRecord, VersionOf("1.00", k100), "2:file-differs"},
};

// The updater refuses such a medium at its start: the folder is not judged.
TEST(GameCase, BrokenRecordRefusesTheMedium) {
  for (const BrokenRecordCase& c : kBroken) {
    Medium medium;
    WriteMedium(&medium, c.listed);
    medium.Write("update.versions", c.on_medium);
    std::unique_ptr<Medium> game(WriteGame(k100));
    int exit_code = -1;
    nlohmann::json report = GameJson(medium, *game, &exit_code);
    EXPECT_EQ(exit_code, 1) << c.name;
    EXPECT_EQ(report["game"]["verdict"], "unchecked") << c.name;
    ASSERT_EQ(report["problems"].size(), 1u) << c.name << report["problems"].dump(2);
    EXPECT_EQ(std::to_string(report["problems"][0]["line"].get<int>()) + ":" +
                  report["problems"][0]["code"].get<std::string>(),
              c.problem)
        << c.name;
  }
}

TEST(GameCase, HandMadeMediumIsNotIdentified) {
  Medium medium;
  medium.Write("update.ini", kIni);
  for (const char* name : {"game.exe", "data/a.dat", "new.dat"}) {
    medium.Write(std::string("GAME/") + name, k102.at(name));
  }
  std::unique_ptr<Medium> game(WriteGame(k100));
  int exit_code = -1;
  nlohmann::json report = GameJson(medium, *game, &exit_code);
  EXPECT_EQ(exit_code, 0);
  EXPECT_EQ(report["game"]["verdict"], "none");
  EXPECT_FALSE(report.contains("proof"));
}

TEST(GameCase, ArgumentsAndFolders) {
  Medium medium;
  WriteMedium(&medium, kRecord);
  EXPECT_EQ(RunCheck({"--game"}).exit_code, 2);
  EXPECT_EQ(RunCheck({"--game", medium.dir() + "/none", medium.dir()}).exit_code, 2);
  EXPECT_EQ(RunCheck({"--game", medium.dir(), "--game", medium.dir()}).exit_code, 2);
  // Without --game the report has no game object.
  int exit_code = -1;
  nlohmann::json report = CheckJson(medium, &exit_code);
  EXPECT_EQ(exit_code, 0);
  EXPECT_FALSE(report.contains("game"));
  EXPECT_EQ(report["proof"]["update_versions"], "present");
  EXPECT_EQ(Strings(report["proof"]["versions"]), (Names{"1.00", "1.01"}));
}

}  // namespace
