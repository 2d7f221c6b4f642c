// One medium from several released versions: what it carries, and the
// version record that lets the updater tell which version a game holds.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>

#include "pack_fixture.h"
#include "sha256_bytes.h"
#include "version_record_writer.h"
#include "versions/version_record.h"
#include "verify/hash_list.h"

namespace {

struct Version {
  std::string label;  // the folder's name
  Files files;
};

// The released versions side by side, each in a folder of its label, NEW
// beside them in "new".
class VersionTrees {
 public:
  VersionTrees(const std::vector<Version>& olds, const Files& new_files) {
    for (const Version& old : olds) {
      root_.Folder(old.label);
      for (const auto& file : old.files) root_.Write(old.label + "/" + file.first, file.second);
      old_dirs_.push_back(root_.dir() + "/" + old.label);
    }
    root_.Folder("new");
    for (const auto& file : new_files) root_.Write("new/" + file.first, file.second);
  }
  std::string medium() const { return root_.dir() + "/medium"; }
  std::string Read(const std::string& relative) const {
    std::string bytes;
    EXPECT_TRUE(ReadFile(medium() + "/" + relative, &bytes)) << relative;
    return bytes;
  }
  // update-pack --json --old each old folder, NEW, MEDIUM, then extra.
  PackRun Pack(const std::vector<std::string>& extra = {}) const {
    std::vector<std::string> args = {"--json"};
    for (const std::string& dir : old_dirs_) args.insert(args.end(), {"--old", dir});
    args.insert(args.end(), {root_.dir() + "/new", medium()});
    args.insert(args.end(), extra.begin(), extra.end());
    return RunPack(args);
  }
  Medium& root() { return root_; }

 private:
  Medium root_;
  std::vector<std::string> old_dirs_;
};

struct Carried {
  std::string path;
  std::string status;
  std::vector<std::string> new_against;
  std::vector<std::string> changed_against;
};

struct CarryCase {
  const char* name;
  std::vector<Version> olds;
  Files new_files;
  std::vector<Carried> carried;  // in file-list order
  int unchanged;
  std::vector<std::string> codes;  // the problems' codes, in report order
};

const CarryCase kCarryCases[] = {
    // The fault this mends: packed from 1.00 and 1.01, the medium took only
    // the last --old into account and left 1.00 players with the old file.
    {"ChangedOnlyBetweenTheOldVersionsIsCarried",
     {{"1.00", {{"game.exe", "1.00"}, {"data/a.dat", "a 1.00"}}},
      {"1.01", {{"game.exe", "1.01"}, {"data/a.dat", "a 1.01"}}}},
     {{"game.exe", "1.02"}, {"data/a.dat", "a 1.01"}},
     {{"data/a.dat", "changed", {}, {"1.00"}}, {"game.exe", "changed", {}, {"1.00", "1.01"}}},
     0,
     {}},
    {"EqualInEveryVersionIsNotCarried",
     {{"1.00", {{"game.exe", "1.00"}, {"readme.txt", "same"}}},
      {"1.01", {{"game.exe", "1.01"}, {"readme.txt", "same"}}}},
     {{"game.exe", "1.02"}, {"readme.txt", "same"}},
     {{"game.exe", "changed", {}, {"1.00", "1.01"}}},
     1,
     {}},
    // Added in 1.01 and kept as it was: 1.00 players still need it.
    {"MissingInOneOldVersionIsCarried",
     {{"1.00", {{"game.exe", "1.00"}}}, {"1.01", {{"game.exe", "1.01"}, {"b.dat", "b"}}}},
     {{"game.exe", "1.02"}, {"b.dat", "b"}, {"c.dat", "c"}},
     {{"b.dat", "new", {"1.00"}, {}},
      {"c.dat", "new", {"1.00", "1.01"}, {}},
      {"game.exe", "changed", {}, {"1.00", "1.01"}}},
     0,
     {}},
    // Names are one file whatever their case, as on Windows.
    {"OtherCaseInAnOldVersionIsTheSameFile",
     {{"1.00", {{"Data/BG.pak", "bg"}}}, {"1.01", {{"data/bg.PAK", "bg"}}}},
     {{"data/bg.pak", "bg"}, {"x", "x"}},
     {{"x", "new", {"1.00", "1.01"}, {}}},
     1,
     {}},
    // Removed once, however many versions held it; the update leaves it.
    {"RemovedFileWarnsOnceForEveryVersion",
     {{"1.00", {{"a", "1"}, {"gone.txt", "g"}, {"only-1.00", "o"}}},
      {"1.01", {{"a", "2"}, {"Gone.txt", "g2"}}}},
     {{"a", "3"}},
     {{"a", "changed", {}, {"1.00", "1.01"}}},
     0,
     {"removed-file", "removed-file"}},
    {"FileWhereAnyOldVersionHasAFolder",
     {{"1.00", {{"save/slot1", "x"}}}, {"1.01", {{"save", "s"}}}},
     {{"save", "s"}},
     {},
     0,
     {"file-folder-clash", "removed-file"}},
    {"NoFolderGivesTheFileTwice",
     {{"1.00", {{"a.txt", "1"}, {"A.TXT", "2"}}}},
     {{"a.txt", "3"}},
     {{"a.txt", "changed", {}, {"1.00"}}},
     0,
     {"same-file-in-old"}},
};

void PrintTo(const CarryCase& c, std::ostream* os) {
  *os << c.name;
}

class PackVersions : public ::testing::TestWithParam<CarryCase> {};

TEST_P(PackVersions, CarriesWhatAnyOldVersionNeeds) {
  const CarryCase& c = GetParam();
  VersionTrees trees(c.olds, c.new_files);
  PackRun run = trees.Pack();
  std::vector<std::string> codes;
  for (const auto& problem : run.json["problems"]) codes.push_back(problem["code"]);
  EXPECT_EQ(codes, c.codes) << run.json["problems"].dump(2);
  bool refused = std::any_of(run.json["problems"].begin(), run.json["problems"].end(),
                             [](const nlohmann::json& p) { return p["severity"] == "error"; });
  ASSERT_EQ(run.exit_code, refused ? 1 : 0) << run.out << run.err;
  if (refused) return;
  std::vector<std::string> got, wanted;
  for (const auto& file : run.json["files"]) {
    std::string line = file["path"].get<std::string>() + " " + file["status"].get<std::string>();
    for (const char* against : {"new_against", "changed_against"}) {
      line += std::string(" ") + against + ":";
      for (const auto& label : file[against]) line += " " + label.get<std::string>();
    }
    got.push_back(line);
  }
  for (const Carried& file : c.carried) {
    std::string line = file.path + " " + file.status + " new_against:";
    for (const std::string& label : file.new_against) line += " " + label;
    line += " changed_against:";
    for (const std::string& label : file.changed_against) line += " " + label;
    wanted.push_back(line);
  }
  EXPECT_EQ(got, wanted);
  EXPECT_EQ(run.json["summary"]["unchanged"], c.unchanged);
  EXPECT_EQ(run.json["summary"]["versions"], c.olds.size());
  // The carried files are on the medium with NEW's bytes.
  for (const Carried& file : c.carried) {
    std::string bytes = trees.Read("GAME/" + file.path);
    auto in_new = std::find_if(c.new_files.begin(), c.new_files.end(),
                               [&](const auto& f) { return f.first == file.path; });
    ASSERT_NE(in_new, c.new_files.end());
    EXPECT_EQ(bytes, in_new->second) << file.path;
  }
  // The record opens a version for each --old, in their order.
  std::string record = trees.Read("update.versions");
  std::vector<std::string> opened;
  for (size_t at = 0; (at = record.find("version ", at)) != std::string::npos; at += 8) {
    if (at == 0 || record[at - 1] == '\n') {
      opened.push_back(record.substr(at + 8, record.find('\n', at) - at - 8));
    }
  }
  std::vector<std::string> labels;
  for (const Version& old : c.olds) labels.push_back(old.label);
  EXPECT_EQ(opened, labels) << record;
}

INSTANTIATE_TEST_SUITE_P(Trees, PackVersions, ::testing::ValuesIn(kCarryCases),
                         [](const ::testing::TestParamInfo<CarryCase>& info) {
                           return info.param.name;
                         });

std::string Line(const std::string& bytes, const std::string& path) {
  return Sha256Hex(bytes) + " " + std::to_string(bytes.size()) + " " + path + "\n";
}

// Every file of each old version, spelled as the updater looks it up (the
// file list's spelling when NEW_DIR holds it), in byte order of the paths.
TEST(PackVersionRecord, HoldsEveryFileOfEachVersionInItsExactForm) {
  VersionTrees trees({{"game-1.00",
                       {{"game.exe", "game 1.00"},
                        {"Data/BG.pak", "bg"},
                        {"データ/表.dat", "表 1.00"},
                        {"Zeta.txt", ""},
                        {"old.txt", "removed in 1.02"}}},
                      {"game-1.01",
                       {{"game.exe", "game 1.01"},
                        {"data/bg.pak", "bg"},
                        {"データ/表.dat", "表 1.01"},
                        {"Old.TXT", "removed in 1.02"}}}},
                     {{"game.exe", "game 1.02"}, {"data/bg.pak", "bg"}, {"データ/表.dat", "表"}});
  PackRun run = trees.Pack();
  ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
  // Upper case sorts before lower case, ASCII before the rest.
  EXPECT_EQ(trees.Read("update.versions"),
            "version game-1.00\n" + Line("", "Zeta.txt") + Line("bg", "data/bg.pak") +
                Line("game 1.00", "game.exe") + Line("removed in 1.02", "old.txt") +
                Line("表 1.00", "データ/表.dat") + "version game-1.01\n" +
                Line("bg", "data/bg.pak") + Line("game 1.01", "game.exe") +
                Line("removed in 1.02", "old.txt") + Line("表 1.01", "データ/表.dat"));
  EXPECT_EQ(run.json["old"],
            (nlohmann::json{trees.root().dir() + "/game-1.00", trees.root().dir() + "/game-1.01"}));
  EXPECT_EQ(run.json["versions"][1]["label"], "game-1.01");
  EXPECT_EQ(run.json["versions"][1]["files"], 4);
}

TEST(PackVersionRecord, IsListedAfterUpdateIniAndSha256sumAcceptsTheMedium) {
  VersionTrees trees({{"1.00", {{"game.exe", "1.00"}}}, {"1.01", {{"game.exe", "1.01"}}}},
                     {{"game.exe", "1.02"}});
  PackRun run = trees.Pack({"--path", "DISC1"});
  ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
  std::string list = trees.Read("update.sha256");
  EXPECT_EQ(list, Sha256Hex(trees.Read("update.ini")) + "  update.ini\n" +
                      Sha256Hex(trees.Read("update.versions")) + "  update.versions\n" +
                      Sha256Hex("1.02") + "  DISC1/game.exe\n");
  EXPECT_EQ(FirstMalformedLine(list.data(), list.size()), 0u);
  std::string ini = trees.Read("update.ini");
  std::string record = trees.Read("update.versions");
  EXPECT_EQ(run.json["summary"]["medium_bytes"], 4 + ini.size() + record.size() + list.size());
  if (system("command -v sha256sum >/dev/null") != 0) GTEST_SKIP() << "no sha256sum";
  std::string check = "cd '" + trees.medium() + "' && sha256sum --strict -c update.sha256";
  EXPECT_EQ(system((check + " >/dev/null 2>&1").c_str()), 0);
  // The record is proven like every other file of the medium.
  trees.root().Write("medium/update.versions", record + "version 0.99\n");
  EXPECT_NE(system((check + " >/dev/null 2>&1").c_str()), 0);
}

// The medium and update-check --game, which judges a folder with the
// updater's own judge: each released version is known by its files, even
// one that spells a name in another case than NEW_DIR does.
TEST(PackVersionRecord, EachReleasedVersionIsKnownAndNothingElse) {
  VersionTrees trees({{"1.00",
                       {{"game.exe", "1.00"},
                        {"Data/BG.pak", "bg 1.00"},
                        {"Data/a.dat", "a 1.00"},
                        {"gone.txt", "removed in 1.01"}}},
                      {"1.01",
                       {{"game.exe", "1.01"},
                        {"data/bg.pak", "bg 1.01"},
                        {"data/a.dat", "a 1.01"},
                        {"data/b.dat", "b"}}}},
                     {{"game.exe", "1.02"},
                      {"data/bg.pak", "bg 1.01"},
                      {"data/a.dat", "a 1.01"},
                      {"data/b.dat", "b"}});
  ASSERT_EQ(trees.Pack().exit_code, 0);
  const std::string root = trees.root().dir() + "/";
  // 1.00 with a carried file of neither version; 1.00 half-way to 1.01.
  for (const char* file : {"game.exe", "Data/BG.pak", "Data/a.dat", "gone.txt"}) {
    std::string bytes;
    ASSERT_TRUE(ReadFile(root + "1.00/" + file, &bytes));
    trees.root().Write(std::string("modified/") + file, bytes);
    trees.root().Write(std::string("half-way/") + file, bytes);
  }
  trees.root().Write("modified/Data/a.dat", "a patched");
  trees.root().Write("half-way/Data/a.dat", "a 1.01");
  trees.root().Write("half-way/Data/b.dat", "b");
  struct Case {
    const char* game;
    const char* verdict;
    std::vector<std::string> unmatched;
  };
  const Case cases[] = {
      {"1.00", "update", {}},
      {"1.01", "update", {}},
      {"new", "applied", {}},
      {"half-way", "update", {}},
      {"modified", "refuse", {"data/a.dat"}},
  };
  for (const Case& c : cases) {
    CheckRun run = RunCheck({"--json", "--game", root + c.game, trees.medium()});
    nlohmann::json game = nlohmann::json::parse(run.out)["game"];
    EXPECT_EQ(game["verdict"], c.verdict) << c.game << ": " << game.dump();
    EXPECT_EQ(game["unmatched"], nlohmann::json(c.unmatched)) << c.game;
    EXPECT_EQ(run.exit_code, std::string(c.verdict) == "refuse" ? 1 : 0) << c.game;
  }
}

// The record's line of update.sha256 comes on top of a file list that may
// be full; the updater would refuse the longer list as damaged. Checked on
// a plan in memory: writing 65,536 files, each flushed, would only slow the
// case down.
TEST(PackVersionRecord, NeedsALineOfTheListBesideTheFiles) {
  for (size_t files : {kMaxHashLines - 2, kMaxHashLines - 1}) {
    PackReport report;
    report.record = "version 1.00\n";
    report.files.resize(files, {"f", "f", FileStatus::kNew, 0, {}, {}});
    CheckRecordFits(&report);
    std::vector<std::string> codes;
    for (const PackProblem& problem : report.problems) codes.push_back(problem.code);
    EXPECT_EQ(codes, files + 2 > kMaxHashLines ? std::vector<std::string>{"too-many-files"}
                                               : std::vector<std::string>{})
        << files;
  }
  // The size cap, one byte over.
  PackReport report;
  report.record = "version 1.00\n" + std::string(kMaxVersionRecordSize - 12, 'x');
  CheckRecordFits(&report);
  ASSERT_EQ(report.problems.size(), 1u);
  EXPECT_EQ(report.problems[0].code, "record-too-large");
  report.record.pop_back();
  report.problems.clear();
  CheckRecordFits(&report);
  EXPECT_TRUE(report.problems.empty());
}

TEST(PackVersionRecord, NoneWithoutOld) {
  VersionTrees trees({}, {{"game.exe", "1.02"}});
  PackRun run = trees.Pack();
  ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
  std::string bytes;
  EXPECT_FALSE(ReadFile(trees.medium() + "/update.versions", &bytes));
  EXPECT_EQ(trees.Read("update.sha256").find("update.versions"), std::string::npos);
  EXPECT_TRUE(run.json["old"].is_null());
  EXPECT_EQ(run.json["versions"], nlohmann::json::array());
}

// A label names the version to the publisher's support desk: it must be
// one, and each its own. Refused before anything is written.
TEST(PackVersionLabels, BadOnesAreRefusedAsBadArguments) {
  Medium root;
  for (const char* dir : {"a/1.00", "b/1.00", "1.01", "new", "bad\nname"}) root.Folder(dir);
  root.Write("new/game.exe", "1.02");
  const std::string r = root.dir() + "/";
  const std::vector<std::pair<std::vector<std::string>, const char*>> cases = {
      {{"--old", r + "a/1.00", "--old", r + "b/1.00/"}, "are both named '1.00'"},
      {{"--old", r + "1.01", "--old", r + "1.01"}, "are both named '1.01'"},
      {{"--old", r + "1.01", "--old", r + "a/1.00/."}, "names no folder of its own"},
      {{"--old", r + "bad\nname"}, "not UTF-8 text without control characters"},
      {{"--old", ""}, "a folder name is empty"},
  };
  for (const auto& [olds, says] : cases) {
    std::vector<std::string> args = olds;
    args.insert(args.end(), {r + "new", r + "medium"});
    PackRun run = RunPack(args);
    EXPECT_EQ(run.exit_code, 2) << says;
    EXPECT_NE(run.err.find(says), std::string::npos) << run.err;
    std::string bytes;
    EXPECT_FALSE(ReadFile(r + "medium/update.ini", &bytes)) << says;
  }
  std::vector<std::string> many;
  for (int i = 0; i <= 256; ++i) many.insert(many.end(), {"--old", r + std::to_string(i)});
  many.insert(many.end(), {r + "new", r + "medium"});
  PackRun too_many = RunPack(many);
  EXPECT_EQ(too_many.exit_code, 2);
  EXPECT_NE(too_many.err.find("more than 256 --old folders"), std::string::npos) << too_many.err;
  // A trailing separator still names the folder.
  PackRun run = RunPack({"--json", "--old", r + "a/1.00/", r + "new", r + "medium"});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.json["versions"][0]["label"], "1.00");
}

}  // namespace
