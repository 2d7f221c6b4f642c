// update-pack --bind: a medium written by hand gets the list and the bound
// program of a packed one, or nothing at all.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "pack_fixture.h"
#include "sha256_bytes.h"
#include "verify/fingerprint_slot.h"
#include "verify/hash_list.h"

namespace {

const std::vector<std::string> kLines = {
    "#INSTALL_LST", "[SYSTEM]",       "##", "#FILE",     "[SYSTEM]", "game.exe",
    "Data\\B.DAT",  "データ\\表.dat", "[]", "notes.txt", "##"};

std::string Line(const std::string& bytes, const std::string& path) {
  return Sha256Hex(bytes) + "  " + path + "\n";
}

// Every file below dir with its bytes: what a refusal must leave as it was.
std::map<std::string, std::string> Contents(const std::string& dir) {
  std::map<std::string, std::string> contents;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
    std::string bytes;
    if (entry.is_regular_file()) ReadFile(entry.path().string(), &bytes);
    contents[entry.path().string().substr(dir.size())] = bytes;
  }
  return contents;
}

std::string Bound(const std::string& list) {
  unsigned char digest[kSha256Size];
  EXPECT_TRUE(Sha256Of(list, digest));
  std::string program = FakeUpdater();
  size_t offset = 0;
  FindFingerprintSlots(reinterpret_cast<const unsigned char*>(program.data()), program.size(),
                       &offset);
  return program.replace(offset, kFingerprintSize, reinterpret_cast<const char*>(digest),
                         kFingerprintSize);
}

class BindTest : public ::testing::Test {
 protected:
  // A medium as a publisher writes it by hand: names in another case than
  // the entries', a Japanese folder, an entry that is never copied.
  void WriteMedium(const std::vector<std::string>& lines) {
    ini_ = IniBytes(lines);
    root_.Write("medium/update.ini", ini_);
    root_.Write("medium/GAME/game.exe", "game 1.01");
    root_.Write("medium/GAME/data/b.dat", "b");
    root_.Write("medium/GAME/データ/表.dat", "表");
    root_.Write("build/update.exe", FakeUpdater());
  }
  std::string medium() const { return root_.dir() + "/medium"; }
  std::string exe() const { return root_.dir() + "/build/update.exe"; }
  PackRun Bind(const std::string& exe) {
    return RunPack({"--json", "--bind", medium(), "--exe", exe});
  }
  std::string Read(const std::string& relative) {
    std::string bytes;
    EXPECT_TRUE(ReadFile(medium() + "/" + relative, &bytes)) << relative;
    return bytes;
  }

  Medium root_;
  std::string ini_;
};

TEST_F(BindTest, ListsUpdateIniThenEveryCopiedFileAndBindsTheExe) {
  WriteMedium(kLines);
  PackRun run = Bind(exe());
  ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
  // The entries' own spelling, which is what the updater looks up; the
  // bytes of the files that Windows finds under it.
  std::string list = Line(ini_, "update.ini") + Line("game 1.01", "GAME/game.exe") +
                     Line("b", "GAME/Data/B.DAT") + Line("表", "GAME/データ/表.dat");
  EXPECT_EQ(Read("update.sha256"), list);
  EXPECT_EQ(Read("update.exe"), Bound(list));
  EXPECT_EQ(run.json["proof"]["fingerprint"], "matches") << run.out;
  for (const auto& problem : run.json["problems"]) EXPECT_EQ(problem["severity"], "warning");
  EXPECT_EQ(run.json["written"], true);
  // The build's copy stays unbound; no temporary file is left.
  std::string build;
  ASSERT_TRUE(ReadFile(exe(), &build));
  EXPECT_EQ(build, FakeUpdater());
  EXPECT_EQ(Contents(medium()).size(), 9u);
}

// Rebuilt from the medium as it stands: a stale list and a program bound to
// it are no reason to refuse, and nothing of them survives.
TEST_F(BindTest, ReplacesAStaleListAndTheMediumsOwnExe) {
  WriteMedium(kLines);
  std::string stale = Line("old", "update.ini") + "not a line\n" + Line("x", "GAME/gone.dat");
  root_.Write("medium/update.sha256", stale);
  root_.Write("medium/update.exe", Bound(stale));
  PackRun run = Bind(medium() + "/update.exe");
  ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
  std::string list = Read("update.sha256");
  EXPECT_EQ(list.substr(0, 64 + 2 + 10 + 1), Line(ini_, "update.ini"));
  EXPECT_EQ(Read("update.exe"), Bound(list));
  EXPECT_EQ(Contents(medium()).size(), 9u);
}

const std::string kDigest = std::string(64, 'a');

// A record that the publisher wrote or kept beside a hand-made medium is
// proven with it, right after update.ini, as a packed medium's is.
TEST_F(BindTest, ListsTheVersionRecordAfterUpdateIni) {
  WriteMedium(kLines);
  const std::string record = "version 1.00\n" + kDigest + " 9 game.exe\nversion 1.01\n";
  root_.Write("medium/update.versions", record);
  PackRun run = Bind(exe());
  ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
  std::string list = Line(ini_, "update.ini") + Line(record, "update.versions") +
                     Line("game 1.01", "GAME/game.exe") + Line("b", "GAME/Data/B.DAT") +
                     Line("表", "GAME/データ/表.dat");
  EXPECT_EQ(Read("update.sha256"), list);
  EXPECT_EQ(Read("update.exe"), Bound(list));
  EXPECT_EQ(Read("update.versions"), record);
}

// The updater would refuse the medium at start: nothing is bound.
TEST_F(BindTest, RefusesAMalformedVersionRecordAndWritesNothing) {
  const std::pair<std::string, int> records[] = {
      {kDigest + " 9 game.exe\n", 1},                                   // no version above it
      {"version 1.00\n" + kDigest + " 9 z\n" + kDigest + " 9 a\n", 3},  // unsorted
      {"version 1.00\r\n", 1},
      {"version 1.00\nversion 1.00\n", 2},
      {"version 1.00\n" + kDigest + " 09 game.exe\n", 2},
      {"version 1.00", 1},
  };
  WriteMedium(kLines);
  for (const auto& [record, line] : records) {
    root_.Write("medium/update.versions", record);
    const std::map<std::string, std::string> before = Contents(root_.dir());
    PackRun run = Bind(exe());
    EXPECT_EQ(run.exit_code, 1) << record << run.err;
    std::vector<std::string> found;
    for (const auto& problem : run.json["problems"]) {
      if (problem["severity"] != "error") continue;
      found.push_back(problem["code"].get<std::string>() + " " +
                      problem["file"].get<std::string>() + ":" + problem["line"].dump());
    }
    EXPECT_EQ(found, std::vector<std::string>{"versions-malformed update.versions:" +
                                              std::to_string(line)})
        << record;
    EXPECT_EQ(Contents(root_.dir()), before) << record;
  }
}

struct Refusal {
  const char* name;
  std::vector<std::string> lines;
  const char* code;
};

class BindRefuses : public BindTest, public ::testing::WithParamInterface<Refusal> {};

void PrintTo(const Refusal& c, std::ostream* os) {
  *os << c.name;
}

TEST_P(BindRefuses, WithExitCode1AndWritesNothing) {
  WriteMedium(GetParam().lines);
  root_.Write("medium/update.sha256", "a list written before\n");
  root_.Write("medium/update.exe", "an update.exe put there before");
  const std::map<std::string, std::string> before = Contents(root_.dir());
  PackRun run = Bind(exe());
  EXPECT_EQ(run.exit_code, 1) << run.out << run.err;
  std::vector<std::string> codes;
  for (const auto& problem : run.json["problems"]) {
    if (problem["severity"] == "error") codes.push_back(problem["code"]);
  }
  EXPECT_EQ(codes, std::vector<std::string>{GetParam().code}) << run.out;
  EXPECT_EQ(run.json["written"], false);
  EXPECT_EQ(Contents(root_.dir()), before);
}

INSTANTIATE_TEST_SUITE_P(
    Media, BindRefuses,
    ::testing::Values(Refusal{"SourceMissing",
                              {"#INSTALL_LST", "[SYSTEM]", "##", "#FILE", "[SYSTEM]", "game.exe",
                               "gone.dat", "##"},
                              "missing-source"},
                      Refusal{"EntryLeavesTheGameFolder",
                              {"#INSTALL_LST", "[SYSTEM]", "##", "#FILE", "[SYSTEM]", "game.exe",
                               "..\\game.exe", "##"},
                              "escapes-game-folder"},
                      // The copy takes it twice, which update-check only warns about; its
                      // list would name the path twice, which the updater refuses.
                      Refusal{"EntryListedTwice",
                              {"#INSTALL_LST", "[SYSTEM]", "##", "#FILE", "[SYSTEM]", "game.exe",
                               "game.exe", "##"},
                              "listed-twice"}),
    [](const ::testing::TestParamInfo<Refusal>& info) { return info.param.name; });

// Bad arguments and a program that cannot be bound: exit code 2, and the
// medium as it was.
TEST_F(BindTest, BadInputChangesNothing) {
  WriteMedium(kLines);
  root_.Write("build/signed.exe", FakeUpdater(true));
  root_.Write("build/other.exe", "MZ a program without a slot");
  const std::map<std::string, std::string> before = Contents(root_.dir());
  const std::vector<std::pair<std::vector<std::string>, const char*>> cases = {
      {{"--bind", medium(), "--exe", root_.dir() + "/build/signed.exe"}, "then sign"},
      {{"--bind", medium(), "--exe", root_.dir() + "/build/other.exe"}, "is not the updater"},
      {{"--bind", medium(), "--exe", root_.dir() + "/build/none.exe"}, "cannot read"},
      {{"--bind", medium()}, "needs --exe"},
      {{"--bind", root_.dir() + "/none", "--exe", exe()}, "not a folder"},
      {{"--bind", medium(), "--exe", exe(), "--force"}, "takes no --force"},
  };
  for (const auto& [args, says] : cases) {
    PackRun run = RunPack(args);
    EXPECT_EQ(run.exit_code, 2) << args.back();
    EXPECT_NE(run.err.find(says), std::string::npos) << run.err;
  }
  EXPECT_EQ(Contents(root_.dir()), before);
  PackRun help = RunPack({"--bind", "--help"});
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_NE(help.out.find("usage: update-pack --bind MEDIUM_DIR"), std::string::npos) << help.out;
}

}  // namespace
