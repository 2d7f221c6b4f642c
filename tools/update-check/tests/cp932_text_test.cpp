#include <gtest/gtest.h>

#include "cp932_text.h"
#include "medium_fixture.h"

namespace {

struct DecodeCase {
  std::string bytes;
  std::string utf8;
};

TEST(DecodeCp932, CharactersAndBadBytes) {
  const DecodeCase cases[] = {
      {Sjis("ソフト表ｱ～"), "ソフト表ｱ～"},
      {"a\x80z", "a\uFFFDz"},  // not a character on its own
      {"\xA0\xFD\xFF", "\uFFFD\uFFFD\uFFFD"},
      {"\x81 x", "\uFFFD x"},    // a lead byte with no trail byte
      {"x\x82", "x\uFFFD"},      // a lead byte at the end
      {"\x85\x40y", "\uFFFDy"},  // a pair the table leaves empty
      {"\xF0\x40", "\uE000"},    // the user-defined area
  };
  for (const DecodeCase& c : cases) EXPECT_EQ(DecodeCp932(c.bytes), c.utf8) << c.utf8;
}

TEST(SplitSettingsLines, AsTheUpdaterCountsThem) {
  EXPECT_EQ(SplitSettingsLines("a\r\nb\rc\nd"), (std::vector<std::string>{"a", "b\rc", "d"}));
  EXPECT_EQ(SplitSettingsLines("a\n\x1A"
                               "b\n"),
            (std::vector<std::string>{"a"}));
}

TEST(LooksLikeUtf8, ShiftJisTextIsNotTakenForUtf8) {
  int line = 0;
  bool bom = false;
  EXPECT_FALSE(LooksLikeUtf8({"#TITLE x", Sjis("#TITLE サンプルクエスト表示")}, &line, &bom));
  EXPECT_FALSE(LooksLikeUtf8({"#TITLE plain ASCII"}, &line, &bom));
  EXPECT_TRUE(LooksLikeUtf8({"#TITLE x", "#TITLE サンプル"}, &line, &bom));
  EXPECT_EQ(line, 2);
  EXPECT_FALSE(bom);
}

}  // namespace
