#include <gtest/gtest.h>

#include <string>

#include "copy/copy_paths.h"
#include "test_support.h"

namespace {

struct EntryCase {
  std::string entry;
  bool inside;
};

TEST(CopyPaths, EntriesThatLeaveTheGameFolderAreRefused) {
  const EntryCase cases[] = {
      {"a.dat", true},
      {"data\\sub\\a.dat", true},
      {"data/a.dat", true},
      {"..a", true},
      {"a..b\\c", true},
      {Sjis("表\\a"), true},
      {"", false},
      {"\\a.dat", false},
      {"/a.dat", false},
      {"C:\\a.dat", false},
      {"C:a.dat", false},
      {"a.dat:stream", false},
      {"..\\a.dat", false},
      {"a\\..\\..\\b", false},
      {"a/../b", false},
      {"a\\..", false},
      {"...\\a", false},
      {". .\\a", false},
      {"\\\\server\\s", false},
      {".\\a", false},
  };
  for (const EntryCase& c : cases)
    EXPECT_EQ(IsEntryInsideGameFolder(c.entry.c_str()), c.inside) << c.entry;
}

struct PathCase {
  const char* what;
  std::string root, path, game, entry;
  std::string source, dest, dest_dir;
};

TEST(CopyPaths, SourceAndDestination) {
  const std::string hyo = "\x95\x5C";  // 表, second byte 0x5C
  const PathCase cases[] = {
      {"plain", "C:\\Medium", "GAME", "D:\\Game", "data\\a.dat", "C:\\Medium\\GAME\\data\\a.dat",
       "D:\\Game\\data\\a.dat", "D:\\Game\\data\\"},
      {"drive root", "E:\\", "GAME", "D:", "a.dat", "E:\\GAME\\a.dat", "D:\\a.dat", "D:\\"},
      {"empty path", "C:\\M", "", "D:\\G", "a.dat", "C:\\M\\a.dat", "D:\\G\\a.dat", "D:\\G\\"},
      {"path with a trailing backslash", "C:\\M", "GAME\\", "D:\\G", "a", "C:\\M\\GAME\\a",
       "D:\\G\\a", "D:\\G\\"},
      {"root ending in 表", "C:\\" + hyo, "GAME", "D:\\G", "a", "C:\\" + hyo + "\\GAME\\a",
       "D:\\G\\a", "D:\\G\\"},
      {"folder part ending in 表", "C:\\M", "GAME", "D:\\G", hyo + "\\" + hyo,
       "C:\\M\\GAME\\" + hyo + "\\" + hyo, "D:\\G\\" + hyo + "\\" + hyo, "D:\\G\\" + hyo + "\\"},
      // The longest entry, its folder part longer than a path part of 255
      // bytes, below a game folder of 200 bytes: past MAX_PATH, still whole.
      {"the longest entry, a long folder part", "C:\\M", std::string(255, 'p'),
       "D:\\" + std::string(197, 'g'), std::string(257, 'f') + "\\a",
       "C:\\M\\" + std::string(255, 'p') + "\\" + std::string(257, 'f') + "\\a",
       "D:\\" + std::string(197, 'g') + "\\" + std::string(257, 'f') + "\\a",
       "D:\\" + std::string(197, 'g') + "\\" + std::string(257, 'f') + "\\"},
  };
  for (const PathCase& c : cases) {
    CopyPaths paths;
    ASSERT_EQ(
        BuildCopyPaths(c.root.c_str(), c.path.c_str(), c.game.c_str(), c.entry.c_str(), &paths),
        kCopyPathsReady)
        << c.what;
    EXPECT_EQ(std::string(paths.source_path), c.source) << c.what;
    EXPECT_EQ(std::string(paths.dest_path), c.dest) << c.what;
    EXPECT_EQ(std::string(paths.dest_dir), c.dest_dir) << c.what;
  }
}

TEST(CopyPaths, PathsThatDoNotFitAreFailuresNotCuts) {
  CopyPaths paths;
  std::string long_game = "D:\\" + std::string(1100, 'g');
  EXPECT_EQ(BuildCopyPaths("C:\\M", "GAME", long_game.c_str(), "a", &paths), kCopyPathTooLong);
  EXPECT_STREQ(paths.dest_path, "");
  EXPECT_EQ(BuildCopyPaths("", "GAME", "D:\\G", "a", &paths), kCopyPathTooLong);
  EXPECT_EQ(BuildCopyPaths("C:\\M", "GAME", "D:\\G", "..\\a", &paths), kEntryOutsideGameFolder);
  std::string long_root = "C:\\" + std::string(1000, 'r');
  EXPECT_EQ(BuildCopyPaths(long_root.c_str(), std::string(255, 'p').c_str(), "D:\\G", "a", &paths),
            kCopyPathTooLong);
}

}  // namespace

#include "copy/temp_name.h"

namespace {

TEST(TempName, MadeFromTheDestinationAndRecognised) {
  char out[64];
  ASSERT_TRUE(MakeTempName("D:\\G\\a.dat", out, sizeof out));
  EXPECT_TRUE(IsTempName(out));
  EXPECT_FALSE(IsTempName("D:\\G\\a.dat"));
  EXPECT_FALSE(IsTempName(kTempSuffix));  // a bare suffix names no file's copy
  char small[16];
  EXPECT_FALSE(MakeTempName("D:\\G\\a.dat", small, sizeof small));  // never a cut name
  EXPECT_STREQ(small, "");
}

}  // namespace
