#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "win/wide_text.h"
#include "win_test_support.h"

namespace {

struct NarrowCase {
  const char* what;
  std::wstring text;
  std::string expected;  // code page 932
  bool unmappable;
};

// Each character that Windows would otherwise spell with a look-alike must
// come out as "?" and be noted; code page 932 text must come out as itself.
TEST(WideTextTest, CharactersWithoutACodePage932FormAreNotedNotReplaced) {
  const NarrowCase cases[] = {
      {"plain ASCII", L"C:\\Games\\Old", "C:\\Games\\Old", false},
      {"kana and a kanji whose second byte is 0x5C", Wide("D:\\ゲーム\\代表"),
       Sjis("D:\\ゲーム\\代表"), false},
      {"Greek and Cyrillic letters have forms of their own", Wide("ΩЖ"), Sjis("ΩЖ"), false},
      {"fullwidth tilde is the code page's own", Wide("～"), "\x81\x60", false},
      {"an accented letter is not its plain letter", Wide("C:\\Users\\José"), "C:\\Users\\Jos?",
       true},
      {"the yen sign is not a backslash", Wide("D:\\update¥v2"), "D:\\update?v2", true},
      {"one half is not a digit", Wide("½"), "?", true},
      {"the wave dash is not the fullwidth tilde", Wide("〜"), "?", true},
      {"a German sharp s", Wide("Straße"), "Stra?e", true},
  };
  for (const NarrowCase& c : cases) {
    char out[256];
    bool unmappable = !c.unmappable;
    EXPECT_TRUE(FromWide(c.text.c_str(), out, sizeof out, &unmappable)) << c.what;
    EXPECT_EQ(std::string(out), c.expected) << c.what;
    EXPECT_EQ(unmappable, c.unmappable) << c.what;
    // What could be spelled comes back as the very same UTF-16 text.
    if (!c.unmappable) {
      wchar_t back[256];
      ASSERT_TRUE(ToWide(out, back, 256)) << c.what;
      EXPECT_EQ(std::wstring(back), c.text) << c.what;
    }
  }
}

// A character outside the Basic Multilingual Plane is two UTF-16 units; it
// still becomes question marks only, never some other character.
TEST(WideTextTest, CharacterBeyondTheBasicPlaneIsNoted) {
  const std::wstring text = L"game\xD83C\xDFAE";  // a video game controller
  char out[64];
  bool unmappable = false;
  EXPECT_TRUE(FromWide(text.c_str(), out, sizeof out, &unmappable));
  EXPECT_TRUE(unmappable);
  std::string narrow = out;
  ASSERT_GE(narrow.size(), 5u);
  EXPECT_EQ(narrow.substr(0, 4), "game");
  EXPECT_EQ(narrow.find_first_not_of('?', 4), std::string::npos) << narrow;
}

TEST(WideTextTest, NarrowTextKeepsEmbeddedNulsAndReportsWhatDoesNotFit) {
  const wchar_t text[] = L"a\0\x00E9";
  char out[8];
  bool unmappable = false;
  EXPECT_EQ(NarrowText(text, 3, out, sizeof out, &unmappable), 3);
  EXPECT_EQ(std::string(out, 3), std::string("a\0?", 3));
  EXPECT_TRUE(unmappable);
  EXPECT_EQ(NarrowText(L"abc", 3, out, 2, &unmappable), -1);
  EXPECT_EQ(NarrowText(L"", 0, out, sizeof out, &unmappable), 0);
  EXPECT_FALSE(unmappable);
}

TEST(WideTextTest, CutAtACharacterBoundaryAndReported) {
  const std::wstring text = Wide("ゲーム");
  char out[6];  // room for two two-byte characters and the terminator
  bool unmappable = true;
  EXPECT_FALSE(FromWide(text.c_str(), out, sizeof out, &unmappable));
  EXPECT_EQ(std::string(out), Sjis("ゲー"));
  EXPECT_FALSE(unmappable);
}

}  // namespace
