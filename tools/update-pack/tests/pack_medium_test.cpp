// The medium folder, the arguments and the exit codes for bad input.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "pack_fixture.h"
#include "pack_report.h"
#include "tree_files.h"

namespace {

const Files kOld = {{"game.exe", "v1"}};
const Files kNew = {{"game.exe", "v2"}, {"data/a.dat", "a"}};

TEST(PackMedium, EmptyMediumFolderIsFilled) {
  PackTrees trees(kOld, kNew);
  trees.root().Folder("medium");
  PackRun run = trees.Pack({});
  EXPECT_EQ(run.exit_code, 0) << run.out << run.err;
  std::string bytes;
  EXPECT_TRUE(ReadFile(trees.medium_dir() + "/GAME/data/a.dat", &bytes));
  EXPECT_EQ(trees.RootNames(), (std::vector<std::string>{"medium", "new", "old"}));
}

TEST(PackMedium, NonEmptyMediumIsRefusedUntouched) {
  PackTrees trees(kOld, kNew);
  trees.root().Write("medium/keep.txt", "mine");
  PackRun run = trees.Pack({});
  EXPECT_EQ(run.exit_code, 2);
  EXPECT_NE(run.err.find("--force"), std::string::npos) << run.err;
  std::string bytes;
  EXPECT_TRUE(ReadFile(trees.medium_dir() + "/keep.txt", &bytes) && bytes == "mine");
  EXPECT_FALSE(ReadFile(trees.medium_dir() + "/update.ini", &bytes));
  EXPECT_EQ(trees.RootNames(), (std::vector<std::string>{"medium", "new", "old"}));
}

TEST(PackMedium, ForceReplacesWholeMediumAndLeavesNothingAside) {
  PackTrees trees(kOld, kNew);
  trees.root().Write("medium/GAME/stale.dat", "from an earlier pack");
  PackRun run = trees.Pack({"--force"});
  EXPECT_EQ(run.exit_code, 0) << run.out << run.err;
  std::string bytes;
  EXPECT_FALSE(ReadFile(trees.medium_dir() + "/GAME/stale.dat", &bytes));
  EXPECT_TRUE(ReadFile(trees.medium_dir() + "/GAME/game.exe", &bytes) && bytes == "v2");
  EXPECT_EQ(trees.RootNames(), (std::vector<std::string>{"medium", "new", "old"}));
}

TEST(PackMedium, ExeIsPutBesideUpdateIni) {
  PackTrees trees(kOld, kNew);
  std::string program = FakeUpdater();
  trees.root().Write("build/update.exe", program);
  PackRun run = trees.Pack({"--exe", trees.root().dir() + "/build/update.exe"});
  EXPECT_EQ(run.exit_code, 0) << run.out << run.err;
  std::string bytes;
  EXPECT_TRUE(ReadFile(trees.medium_dir() + "/update.exe", &bytes) &&
              bytes.size() == program.size());
  // Two files, update.ini, update.versions, update.sha256 and update.exe.
  std::string ini, record, list;
  ASSERT_TRUE(ReadFile(trees.medium_dir() + "/update.ini", &ini));
  ASSERT_TRUE(ReadFile(trees.medium_dir() + "/update.versions", &record));
  ASSERT_TRUE(ReadFile(trees.medium_dir() + "/update.sha256", &list));
  EXPECT_EQ(run.json["summary"]["medium_bytes"],
            2 + 1 + ini.size() + record.size() + list.size() + program.size());
}

TEST(PackMedium, MissingParentFoldersAreMade) {
  PackTrees trees(kOld, kNew);
  std::string medium = trees.root().dir() + "/out/media/v2";
  PackRun run = RunPack({"--old", trees.old_dir(), trees.new_dir(), medium});
  EXPECT_EQ(run.exit_code, 0) << run.out << run.err;
  std::string bytes;
  EXPECT_TRUE(ReadFile(medium + "/update.ini", &bytes));
}

struct BadInput {
  const char* name;
  std::vector<std::string> args;  // OLD, NEW, MEDIUM and ROOT stand for the folders
  const char* says;               // a part of what the standard error says
};

const BadInput kBadInputs[] = {
    {"NoMedium", {"NEW"}, "give NEW_DIR and MEDIUM_DIR"},
    {"ThreeFolders", {"NEW", "MEDIUM", "ROOT/x"}, "give NEW_DIR and MEDIUM_DIR"},
    {"UnknownOption", {"--titel", "x", "NEW", "MEDIUM"}, "unknown option --titel"},
    {"OptionWithoutValue", {"NEW", "MEDIUM", "--title"}, "--title needs a value"},
    {"MissingNewDir", {"ROOT/nowhere", "MEDIUM"}, "cannot read NEW_DIR"},
    {"MissingOldDir", {"--old", "ROOT/nowhere", "NEW", "MEDIUM"}, "cannot read OLD_DIR"},
    {"MissingExe", {"NEW", "MEDIUM", "--exe", "ROOT/update.exe"}, "cannot read the update.exe"},
    {"MediumIsAFile", {"NEW", "NEW/game.exe"}, "is a file"},
    {"MediumInsideNew", {"NEW", "NEW/medium"}, "overlap"},
    {"MediumInsideOld", {"--old", "OLD", "NEW", "OLD/medium"}, "overlap"},
    {"NewInsideMediumEvenWithForce", {"--force", "NEW", "ROOT"}, "overlap"},
};

class PackBadInput : public ::testing::TestWithParam<BadInput> {};

void PrintTo(const BadInput& c, std::ostream* os) {
  *os << c.name;
}

TEST_P(PackBadInput, ExitsWith2AndWritesNothing) {
  PackTrees trees(kOld, kNew);
  std::vector<std::string> args;
  for (std::string arg : GetParam().args) {
    for (const auto& [word, dir] : {std::pair<std::string, std::string>{"OLD", trees.old_dir()},
                                    {"NEW", trees.new_dir()},
                                    {"MEDIUM", trees.medium_dir()},
                                    {"ROOT", trees.root().dir()}}) {
      if (arg.compare(0, word.size(), word) == 0) arg = dir + arg.substr(word.size());
    }
    args.push_back(arg);
  }
  PackRun run = RunPack(args);
  EXPECT_EQ(run.exit_code, 2) << run.out;
  EXPECT_NE(run.err.find(GetParam().says), std::string::npos) << run.err;
  EXPECT_EQ(trees.RootNames(), (std::vector<std::string>{"new", "old"}));
  std::string bytes;
  EXPECT_TRUE(ReadFile(trees.new_dir() + "/game.exe", &bytes) && bytes == "v2");
}

INSTANTIATE_TEST_SUITE_P(Args, PackBadInput, ::testing::ValuesIn(kBadInputs),
                         [](const ::testing::TestParamInfo<BadInput>& info) {
                           return info.param.name;
                         });

// --force removes the old medium; through a link it would remove what the
// link leads to. Each case puts a link on the way to the medium and packs
// with --force: refused, and the files behind the link stay.
struct LinkCase {
  const char* name;
  const char* link;    // below ROOT
  const char* target;  // what the link leads to, below ROOT
  const char* medium;  // below ROOT
};

const LinkCase kLinkCases[] = {
    {"MediumLinksToUnrelatedFolder", "medium", "elsewhere", "medium"},
    {"MediumLinksIntoNew", "medium", "new", "medium"},
    {"MediumLinksIntoOld", "medium", "old/sub", "medium"},
    {"FolderOnTheWayIsALink", "via", "elsewhere", "via/medium"},
};

class PackLinkedMedium : public ::testing::TestWithParam<LinkCase> {};

void PrintTo(const LinkCase& c, std::ostream* os) {
  *os << c.name;
}

TEST_P(PackLinkedMedium, IsRefusedAndWhatItLeadsToStays) {
  const LinkCase& c = GetParam();
  PackTrees trees(kOld, kNew);
  const std::string root = trees.root().dir();
  trees.root().Write(std::string(c.target) + "/keep.txt", "mine");
  trees.root().Write(std::string(c.target) + "/medium/keep.txt", "mine");
  ASSERT_EQ(symlink((root + "/" + c.target).c_str(), (root + "/" + c.link).c_str()), 0);
  std::vector<std::string> before = trees.RootNames();
  PackRun run =
      RunPack({"--force", "--old", trees.old_dir(), trees.new_dir(), root + "/" + c.medium});
  EXPECT_EQ(run.exit_code, 2) << run.out;
  EXPECT_NE(run.err.find("through the link"), std::string::npos) << run.err;
  std::string bytes;
  EXPECT_TRUE(ReadFile(root + "/" + c.target + "/keep.txt", &bytes) && bytes == "mine");
  EXPECT_TRUE(ReadFile(root + "/" + c.target + "/medium/keep.txt", &bytes) && bytes == "mine");
  EXPECT_TRUE(ReadFile(trees.new_dir() + "/game.exe", &bytes) && bytes == "v2");
  EXPECT_EQ(trees.RootNames(), before);
}

INSTANTIATE_TEST_SUITE_P(Links, PackLinkedMedium, ::testing::ValuesIn(kLinkCases),
                         [](const ::testing::TestParamInfo<LinkCase>& info) {
                           return info.param.name;
                         });

// Other accounts and disc-image tools must read the medium, as any folder
// made under the same umask.
TEST(PackMedium, MediumFolderHasTheUmasksMode) {
  for (mode_t mask : {022, 027, 077}) {
    PackTrees trees(kOld, kNew);
    mode_t saved = umask(mask);
    PackRun run = trees.Pack({});
    umask(saved);
    EXPECT_EQ(run.exit_code, 0) << run.out << run.err;
    struct stat info;
    ASSERT_EQ(stat(trees.medium_dir().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0777 & ~mask) << "umask " << std::oct << mask;
  }
}

// Both platforms' copies refuse to write over an existing file.
TEST(PackFiles, CopyAndWriteNeverWriteOverAFile) {
  Medium root;
  root.Write("from.dat", "new bytes");
  root.Write("to.dat", "old");
  EXPECT_FALSE(CopyOneFile(root.dir() + "/from.dat", root.dir() + "/to.dat"));
  EXPECT_FALSE(WriteWholeFile(root.dir() + "/to.dat", "new bytes"));
  std::string bytes;
  EXPECT_TRUE(ReadFile(root.dir() + "/to.dat", &bytes) && bytes == "old");
  EXPECT_TRUE(CopyOneFile(root.dir() + "/from.dat", root.dir() + "/copy.dat"));
  EXPECT_TRUE(ReadFile(root.dir() + "/copy.dat", &bytes) && bytes == "new bytes");
}

// Counts of bytes past 4 GB, which a 32-bit size_t would wrap.
TEST(PackReport, HumanReportCountsBytesPastFourGigabytes) {
  PackReport report;
  report.medium_bytes = 5000000000ULL;
  EXPECT_NE(FormatPackHuman(report).find("5000000000 bytes on the medium"), std::string::npos);
}

// A link inside the old medium goes with it; the folder it leads to stays.
TEST(PackMedium, ForceRemovesLinksInsideTheOldMediumNotWhatTheyLeadTo) {
  PackTrees trees(kOld, kNew);
  const std::string root = trees.root().dir();
  trees.root().Write("elsewhere/keep.txt", "mine");
  trees.root().Write("medium/GAME/stale.dat", "from an earlier pack");
  ASSERT_EQ(symlink((root + "/elsewhere").c_str(), (root + "/medium/GAME/link").c_str()), 0);
  PackRun run = trees.Pack({"--force"});
  EXPECT_EQ(run.exit_code, 0) << run.out << run.err;
  std::string bytes;
  EXPECT_TRUE(ReadFile(root + "/elsewhere/keep.txt", &bytes) && bytes == "mine");
  struct stat info;
  EXPECT_NE(lstat((root + "/medium/GAME/link").c_str(), &info), 0);
  EXPECT_EQ(trees.RootNames(), (std::vector<std::string>{"elsewhere", "medium", "new", "old"}));
}

}  // namespace

namespace {

// Neither reaches the game folder, and the publisher is told so; the
// medium is written all the same.
TEST(PackWarnings, EmptyFolderAndLinkAreLeftOutWithAWarning) {
  PackTrees trees(kOld, kNew);
  trees.root().Folder("new/saves/slot1");
  trees.root().Folder("old/cache");
  trees.root().Folder("new/cache");
  ASSERT_EQ(symlink("game.exe", (trees.new_dir() + "/link.exe").c_str()), 0);
  PackRun run = trees.Pack({});
  EXPECT_EQ(run.exit_code, 0) << run.out << run.err;
  std::vector<std::string> found;
  for (const auto& problem : run.json["problems"]) {
    found.push_back(problem["code"].get<std::string>() + " " + problem["where"].get<std::string>());
  }
  EXPECT_EQ(found, (std::vector<std::string>{"empty-folder saves", "empty-folder saves/slot1",
                                             "not-a-file link.exe"}));
  EXPECT_EQ(run.json["summary"]["files"], 2);
}

}  // namespace
