#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "test_support.h"
#include "text/format.h"
#include "text/sjis.h"

TEST(LeadByte, RangesOfCodePage932) {
  for (int c = 0; c < 256; ++c) {
    bool expected = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
    EXPECT_EQ(IsLeadByte(static_cast<unsigned char>(c)), expected) << c;
  }
}

struct CopyCase {
  const char* what;
  std::string src;
  size_t size;
  std::string expected;
  bool fit;
};

TEST(CopyText, CutsOnlyAtCharacterBoundaries) {
  const std::string hyo = "\x95\x5C";  // 表: its second byte is a backslash
  const CopyCase cases[] = {
      {"fits", "abc", 4, "abc", true},
      {"cut one-byte", "abcd", 3, "ab", false},
      {"whole two-byte", "a" + hyo, 4, "a" + hyo, true},
      {"never half a character", "ab" + hyo, 4, "ab", false},
      {"size one", "abc", 1, "", false},
      {"katakana are one byte", "\xB1\xB2\xB3", 3, "\xB1\xB2", false},
      {"lone lead byte at the end is dropped", "ab\x81", 8, "ab", false},
  };
  for (const CopyCase& c : cases) {
    char buffer[16];
    memset(buffer, 'G', sizeof buffer);
    EXPECT_EQ(CopyText(buffer, c.size, c.src.c_str()), c.fit) << c.what;
    EXPECT_EQ(std::string(buffer), c.expected) << c.what;
    for (size_t i = c.size; i < sizeof buffer; ++i) EXPECT_EQ(buffer[i], 'G') << c.what;
  }
}

TEST(CopyText, AppendRespectsTheWholeBuffer) {
  char buffer[8] = "abc";
  EXPECT_TRUE(AppendText(buffer, sizeof buffer, "de"));
  EXPECT_FALSE(AppendText(buffer, sizeof buffer, "fghij"));
  EXPECT_STREQ(buffer, "abcdefg");
}

struct BackslashCase {
  std::string text;
  bool ends;
};

TEST(TrailingBackslash, OnlyOneByteBackslashCounts) {
  const BackslashCase cases[] = {
      {"", false},
      {"\\", true},
      {"a\\", true},
      {"D:\\\x95\x5C", false},  // 表
      {"\x95\x5C\\", true},     // 表 then a backslash
      {"\xB1\\", true},         // one-byte katakana then a backslash
      {"\x81\x5C", false},      // one two-byte character
      {"\x81\x81\x5C", true},   // a two-byte character, then a backslash
      {"a/", false},
  };
  for (const BackslashCase& c : cases) {
    EXPECT_EQ(EndsWithBackslash(c.text.c_str()), c.ends) << c.text;
    std::string copy = c.text;
    RemoveTrailingBackslash(copy.data());
    std::string after(copy.c_str());
    EXPECT_EQ(after.size(), c.text.size() - (c.ends ? 1 : 0)) << c.text;
  }
}

TEST(FormatText, ArgumentsAndLimits) {
  char out[64];
  EXPECT_TRUE(FormatText(out, sizeof out, "%s\\%s", "D:\\Game", "a.dat"));
  EXPECT_STREQ(out, "D:\\Game\\a.dat");
  EXPECT_TRUE(FormatText(out, sizeof out, "%d files, %d%%", 12, -3));
  EXPECT_STREQ(out, "12 files, -3%");
  std::string status = Sjis("インストール元　%s\nインストール先　%s\n");
  EXPECT_TRUE(FormatText(out, sizeof out, status.c_str(), "A", "B"));
  EXPECT_EQ(std::string(out), Sjis("インストール元　A\nインストール先　B\n"));
}

TEST(FormatText, NeverPastTheBufferOrTheLimit) {
  char small[8];
  memset(small, 'G', sizeof small);
  EXPECT_FALSE(FormatText(small, 6, "%s", "abcdefgh"));
  EXPECT_STREQ(small, "abcde");
  EXPECT_EQ(small[6], 'G');

  std::string jp = Sjis("あいう");
  EXPECT_FALSE(FormatText(small, 6, "x%s", jp.c_str()));
  EXPECT_EQ(std::string(small), "x" + Sjis("あい"));

  static char big[4096];
  std::string long_text(3000, 'x');
  EXPECT_FALSE(FormatText(big, sizeof big, "%s", long_text.c_str()));
  EXPECT_EQ(strlen(big), kFormatLimit - 1);
}

// A message of long paths is cut at the limit on a character boundary: half
// a character would show as a wrong one, or swallow the terminator.
TEST(FormatText, CutAtTheLimitOnACharacterBoundary) {
  std::string jp;
  for (int i = 0; i < 300; ++i) jp += Sjis("表");  // 0x5C second byte: not a separator
  struct Case {
    const char* what;
    std::string fmt;
    std::string first;
    std::string second;
    size_t length;  // of the text written
  };
  const Case cases[] = {
      {"two-byte characters up to the last byte", "%s%s", "a", jp + jp, kFormatLimit - 1},
      {"one byte left for a two-byte character", "%s%s", "", jp + jp, kFormatLimit - 2},
      {"the cut in the second path", "%s\n%s", std::string(511, 'a'), jp, kFormatLimit - 2},
      {"the cut in the literal text", Sjis("%sの%s"), std::string(1022, 'a'), "b",
       kFormatLimit - 2},
      {"the literal text whole, the last argument cut", Sjis("%sの%s"), std::string(1021, 'a'), "b",
       kFormatLimit - 1},
  };
  for (const Case& c : cases) {
    static char out[4096];
    memset(out, 'G', sizeof out);
    EXPECT_FALSE(FormatText(out, sizeof out, c.fmt.c_str(), c.first.c_str(), c.second.c_str()))
        << c.what;
    ASSERT_EQ(strlen(out), c.length) << c.what;
    long last = LastCharOffset(out);
    EXPECT_EQ(static_cast<size_t>(last + CharLength(out + last)), c.length) << c.what;
    EXPECT_FALSE(CharLength(out + last) == 1 && IsLeadByte(static_cast<unsigned char>(out[last])))
        << c.what;
  }
}
