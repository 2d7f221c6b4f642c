#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/install_path.h"
#include "app/run_state.h"
#include "test_support.h"
#include "text/path_parts.h"

struct SplitCase {
  std::string path, drive, dir, fname, ext;
};

TEST(SplitPath, Parts) {
  const std::string hyo = "\x95\x5C";  // 表
  const SplitCase cases[] = {
      {"D:\\Games\\Title\\game.exe", "D:", "\\Games\\Title\\", "game", ".exe"},
      {"data\\sub\\a.dat", "", "data\\sub\\", "a", ".dat"},
      {"a.dat", "", "", "a", ".dat"},
      {"D:/x/y", "D:", "/x/", "y", ""},
      {"D:\\My.Games\\Title", "D:", "\\My.Games\\", "Title", ""},
      {"D:", "D:", "", "", ""},
      {"", "", "", "", ""},
      {"x\\.hidden", "", "x\\", "", ".hidden"},
      // The second byte of 表 is not a separator.
      {"D:\\" + hyo + "a", "D:", "\\", hyo + "a", ""},
      {"D:\\" + hyo + "\\b", "D:", "\\" + hyo + "\\", "b", ""},
  };
  for (const SplitCase& c : cases) {
    PathParts parts;
    EXPECT_TRUE(SplitPath(c.path.c_str(), &parts)) << c.path;
    EXPECT_EQ(parts.drive, c.drive) << c.path;
    EXPECT_EQ(parts.dir, c.dir) << c.path;
    EXPECT_EQ(parts.fname, c.fname) << c.path;
    EXPECT_EQ(parts.ext, c.ext) << c.path;
  }
}

TEST(SplitPath, LongPartsAreCutWholeAndReported) {
  std::string path = "D:\\" + std::string(300, 'a') + "\\b";
  PathParts parts;
  EXPECT_FALSE(SplitPath(path.c_str(), &parts));
  EXPECT_EQ(strlen(parts.dir), 255u);
  std::string jp_name(1, 'x');
  for (int i = 0; i < 200; ++i) jp_name += "\x82\xA0";  // あ
  PathParts jp;
  EXPECT_FALSE(SplitPath(jp_name.c_str(), &jp));
  EXPECT_EQ(strlen(jp.fname), 255u);  // x and 127 whole characters
}

struct MakeCase {
  const char *drive, *dir, *fname, *ext;
  std::string expected;
};

TEST(MakePath, Joins) {
  const MakeCase cases[] = {
      {"D:", "\\Games", "Title", nullptr, "D:\\Games\\Title"},
      {"D:", "\\Games\\", "", "", "D:\\Games\\"},
      {nullptr, "a/", "b", nullptr, "a/b"},
      {"", "", "f", "txt", "f.txt"},
      {nullptr, nullptr, "f", ".txt", "f.txt"},
      {"Dx", nullptr, nullptr, nullptr, "D:"},
      {nullptr, "\x95\x5C", nullptr, nullptr, "\x95\x5C\\"},  // 表 then a separator
  };
  for (const MakeCase& c : cases) {
    char out[64];
    EXPECT_TRUE(MakePath(out, sizeof out, c.drive, c.dir, c.fname, c.ext));
    EXPECT_EQ(std::string(out), c.expected);
  }
  char small[6];
  EXPECT_FALSE(MakePath(small, sizeof small, "D:", "\\Games", nullptr, nullptr));
  EXPECT_STREQ(small, "D:\\Ga");
}

struct InstallPathCase {
  const char* what;
  std::string typed;
  std::string expected;
  // Whether the text names a file that exists: only then is its last name
  // taken for the file's.
  bool names_file = true;
};

TEST(CheckInstallPath, Normalises) {
  const std::string kata = "\xB1";  // ｱ, a one-byte katakana
  const InstallPathCase cases[] = {
      {"unchanged", "D:\\Games\\Title", "D:\\Games\\Title"},
      {"trailing backslash", "D:\\Games\\Title\\", "D:\\Games\\Title"},
      {"runs collapse", "D:\\\\Games\\\\\\Title\\\\", "D:\\Games\\Title"},
      {"file name dropped", "D:\\Games\\Title\\game.exe", "D:\\Games\\Title"},
      {"dot makes a file name", "D:\\Games\\Title.old", "D:\\Games"},
      {"dot in an earlier folder", "D:\\My.Games\\Title", "D:\\My.Games\\Title"},
      // A folder's own name with a dot is the game folder, not a file in
      // its parent: dropped, the files would land beside it.
      {"folder with a dot stays", "D:\\game-1.00", "D:\\game-1.00", false},
      {"folder with a dot, trailing backslash", "D:\\Games\\Title.v2\\", "D:\\Games\\Title.v2",
       false},
      {"no such file: the name stays", "D:\\Games\\Title\\game.exe", "D:\\Games\\Title\\game.exe",
       false},
      {"root", "D:\\", "D:"},
      {"bare drive", "D:", "D:"},
      {"drive-relative", "D:Title", "D:Title"},
      {"relative", "Title", "Title"},
      {"network path", "\\\\server\\share\\Title", "\\server\\share\\Title"},
      {"forward slashes stay", "D:/Games/Title/", "D:/Games/Title/"},
      {"empty", "", ""},
      {"trail byte 0x5C is no backslash", Sjis("D:\\ゲーム\\代表"), Sjis("D:\\ゲーム\\代表")},
      {"line feed cuts", "D:\\Games\\Title\nmore text", "D:\\Games\\Title"},
      {"carriage return cuts", "D:\\Games\\Title\r\n", "D:\\Games\\Title"},
      {"spaces kept", "D:\\My Games \\Title ", "D:\\My Games \\Title "},
      // A one-byte katakana is not a lead byte, so the run after it collapses
      // like any other (taken as a pair it would leave two backslashes).
      {"run after katakana", "D:\\" + kata + "\\\\\\x", "D:\\" + kata + "\\x"},
      {"katakana before trailing backslash", "D:\\" + kata + "\\", "D:\\" + kata},
      {"lone lead byte at the end", "D:\\Games\x81", ""},
  };
  for (const InstallPathCase& c : cases) {
    strncpy(install_dir, c.typed.c_str(), sizeof install_dir - 1);
    CheckInstallPath(c.names_file);
    EXPECT_EQ(std::string(install_dir), c.expected) << c.what;
  }
}

TEST(CheckInstallPath, TooLongForTheWorkBuffersBecomesEmpty) {
  const std::string cases[] = {
      "D:\\" + std::string(1020, 'a'),                                // one long name
      "D:\\" + std::string(200, 'a') + "\\" + std::string(200, 'b'),  // folder over 255
      std::string(1023, '\\'),                                        // all separators
  };
  for (const std::string& typed : cases) {
    strncpy(install_dir, typed.c_str(), sizeof install_dir - 1);
    install_dir[sizeof install_dir - 1] = '\0';
    CheckInstallPath(true);
    EXPECT_STREQ(install_dir, "") << typed.size();
  }
}
