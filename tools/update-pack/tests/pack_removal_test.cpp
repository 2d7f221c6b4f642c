// How --force removes the old medium: never through a link, not even one
// that takes a folder's place while the removal runs.
#include <gtest/gtest.h>
#include <unistd.h>

#include <stdio.h>

#include "pack_fixture.h"
#include "removal_step.h"
#include "tree_files.h"

namespace {

struct RemovalCase {
  const char* what;
  HeldEntry entry;
  RemovalStep step;
};

// The decisions the Windows walk makes from a handle opened on the entry
// itself (FILE_FLAG_OPEN_REPARSE_POINT): Wine cannot make a junction, so
// they are checked here.
TEST(PackRemoval, EachEntryIsDecidedFromItsOwnHandle) {
  const RemovalCase cases[] = {
      {"a folder of the medium", {true, false, true, true}, RemovalStep::kDescend},
      {"a file of the medium", {false, false, true, true}, RemovalStep::kRemoveFile},
      {"a junction", {true, true, true, true}, RemovalStep::kRemoveLink},
      {"a link to a file", {false, true, true, true}, RemovalStep::kRemoveLink},
      {"a junction to another volume", {true, true, false, true}, RemovalStep::kRemoveLink},
      {"a folder on another volume", {true, false, false, true}, RemovalStep::kLeave},
      {"a folder whose handle shows a path outside",
       {true, false, true, false},
       RemovalStep::kLeave},
      {"a file whose handle shows a path outside",
       {false, false, true, false},
       RemovalStep::kLeave},
      {"a link whose handle shows a path outside", {true, true, true, false}, RemovalStep::kLeave},
  };
  for (const RemovalCase& c : cases) {
    EXPECT_EQ(static_cast<int>(DecideRemoval(c.entry)), static_cast<int>(c.step)) << c.what;
  }
}

// The folder that stands in for the old medium's GAME folder once the
// removal has read the names of the folder above it.
std::string swap_root;
int swaps;

void SwapGameForLink(const std::string& folder) {
  std::string game = folder + "/GAME";
  if (folder.find("/.medium.old-") == std::string::npos || access(game.c_str(), F_OK) != 0) {
    return;
  }
  ++swaps;
  ASSERT_EQ(rename(game.c_str(), (swap_root + "/moved").c_str()), 0);
  ASSERT_EQ(symlink((swap_root + "/elsewhere").c_str(), game.c_str()), 0);
}

// The outside folder holds the very names the old medium's GAME held: a
// removal that went by the names it listed would take them.
TEST(PackRemoval, FolderSwappedForALinkDuringForceKeepsWhatTheLinkLeadsTo) {
  PackTrees trees({{"game.exe", "v1"}}, {{"game.exe", "v2"}});
  swap_root = trees.root().dir();
  swaps = 0;
  for (const char* name : {"stale.dat", "sub/deep.dat"}) {
    trees.root().Write(std::string("medium/GAME/") + name, "from an earlier pack");
    trees.root().Write(std::string("elsewhere/") + name, "mine");
  }
  remove_tree_listed_hook = SwapGameForLink;
  PackRun run = trees.Pack({"--force"});
  remove_tree_listed_hook = nullptr;
  EXPECT_EQ(run.exit_code, 0) << run.out << run.err;
  EXPECT_EQ(swaps, 1);
  for (const char* name : {"stale.dat", "sub/deep.dat"}) {
    std::string bytes;
    EXPECT_TRUE(ReadFile(swap_root + "/elsewhere/" + name, &bytes) && bytes == "mine") << name;
  }
  // The link went as a link; the medium is the new one.
  EXPECT_EQ(trees.RootNames(),
            (std::vector<std::string>{"elsewhere", "medium", "moved", "new", "old"}));
  std::string bytes;
  EXPECT_TRUE(ReadFile(trees.medium_dir() + "/GAME/game.exe", &bytes) && bytes == "v2");
}

}  // namespace
