// Lines of update.sha256 that the updater accepts, and the ones it refuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include <string.h>

#include "verify/hash_list.h"

namespace {

const std::string kHex = "9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08";
const std::string kOtherHex = "60303ae22b998861bce3b28f33eec1be758a213c86c93c076dbe9f558c11c752";

struct LineCase {
  const char* name;
  std::string line;
  const char* path;  // the path read, or null when the line is refused
};

const LineCase kLines[] = {
    {"PlainFile", kHex + "  update.ini\n", "update.ini"},
    {"Folders", kHex + "  GAME/data/bg.pak\n", "GAME/data/bg.pak"},
    {"Japanese", kHex + "  GAME/データ/表.dat\n", "GAME/データ/表.dat"},
    {"SpaceInsideName", kHex + "  GAME/a b.txt\n", "GAME/a b.txt"},
    {"LeadingSpaceIsPartOfTheName", kHex + "   a.txt\n", " a.txt"},
    {"NoLineEnd", kHex + "  a.txt", nullptr},
    {"CrLf", kHex + "  a.txt\r\n", nullptr},
    {"UpperCaseHex", "9F86D081884C7D659A2FEAA0C55AD015A3BF4F1B2B0B822CD15D6C15B0F00A08  a\n",
     nullptr},
    {"ShortHash", kHex.substr(1) + "  a.txt\n", nullptr},
    {"LongHash", kHex + "0  a.txt\n", nullptr},
    {"NotHex", "g" + kHex.substr(1) + "  a.txt\n", nullptr},
    {"OneSpace", kHex + " a.txt\n", nullptr},
    {"BinaryMode", kHex + " *a.txt\n", nullptr},
    {"EscapedName", "\\" + kHex + "  a\\\\b\n", nullptr},
    {"NoPath", kHex + "  \n", nullptr},
    {"EmptyLine", "\n", nullptr},
    {"AbsolutePath", kHex + "  /etc/passwd\n", nullptr},
    {"DriveLetter", kHex + "  C:/game.exe\n", nullptr},
    {"Stream", kHex + "  a.txt:hidden\n", nullptr},
    {"Backslash", kHex + "  GAME\\a.txt\n", nullptr},
    {"DotDot", kHex + "  GAME/../a.txt\n", nullptr},
    {"Dot", kHex + "  ./a.txt\n", nullptr},
    {"EmptyName", kHex + "  GAME//a.txt\n", nullptr},
    {"TrailingSlash", kHex + "  GAME/\n", nullptr},
    {"NulInName", kHex + std::string("  a\0b\n", 6), nullptr},
    // The longest: a PATH folder and an entry at their limits, all in
    // half-width katakana, three bytes each in UTF-8.
    {"PathAtItsLimit", kHex + "  " + std::string(kMaxListedPath, 'p') + "\n", "limit"},
    {"PathOverItsLimit", kHex + "  " + std::string(kMaxListedPath + 1, 'p') + "\n", nullptr},
};

class HashLineTest : public ::testing::TestWithParam<LineCase> {};

void PrintTo(const LineCase& c, std::ostream* os) {
  *os << c.name;
}

TEST_P(HashLineTest, ReadsOrRefuses) {
  const LineCase& c = GetParam();
  size_t offset = 0;
  HashLine line;
  HashLineStatus status = ReadHashLine(c.line.data(), c.line.size(), &offset, &line);
  if (c.path == nullptr) {
    EXPECT_EQ(status, kHashLineMalformed);
    EXPECT_EQ(offset, 0u);
    EXPECT_EQ(FirstMalformedLine(c.line.data(), c.line.size()), 1u);
    return;
  }
  ASSERT_EQ(status, kHashLineRead);
  EXPECT_EQ(offset, c.line.size());
  std::string path = c.line.substr(line.path_offset, line.path_length);
  if (std::string(c.path) == "limit") {
    EXPECT_EQ(path.size(), kMaxListedPath);
  } else {
    EXPECT_EQ(path, c.path);
  }
  char hex[65];
  FormatDigest(line.digest, hex);
  EXPECT_EQ(hex, kHex);
  EXPECT_EQ(FirstMalformedLine(c.line.data(), c.line.size()), 0u);
}

INSTANTIATE_TEST_SUITE_P(Lines, HashLineTest, ::testing::ValuesIn(kLines),
                         [](const ::testing::TestParamInfo<LineCase>& info) {
                           return info.param.name;
                         });

std::string List() {
  return kHex + "  update.ini\n" + kOtherHex + "  GAME/a.dat\n" + kHex + "  GAME/sub/b.dat\n";
}

HashLookup Look(const std::string& list, const std::string& path, std::string* hex) {
  unsigned char digest[kSha256Size] = {};
  HashLookup found = LookUpHash(list.data(), list.size(), path.data(), path.size(), digest);
  char text[65];
  FormatDigest(digest, text);
  *hex = text;
  return found;
}

TEST(HashList, LooksUpWholePathsOnly) {
  std::string hex;
  EXPECT_EQ(Look(List(), "GAME/a.dat", &hex), kHashListed);
  EXPECT_EQ(hex, kOtherHex);
  EXPECT_EQ(Look(List(), "update.ini", &hex), kHashListed);
  EXPECT_EQ(hex, kHex);
  EXPECT_EQ(Look(List(), "GAME/a.da", &hex), kHashNotListed);
  EXPECT_EQ(Look(List(), "a.dat", &hex), kHashNotListed);
  EXPECT_EQ(Look(List(), "game/a.dat", &hex), kHashNotListed);
  EXPECT_EQ(Look("", "update.ini", &hex), kHashNotListed);
}

// Two lines for one path could vouch for two contents.
TEST(HashList, PathListedTwiceIsRefused) {
  std::string hex;
  EXPECT_EQ(Look(List() + kOtherHex + "  GAME/sub/b.dat\n", "GAME/sub/b.dat", &hex),
            kHashListedTwice);
}

// One bad line anywhere spoils the whole list, even after the line sought.
TEST(HashList, MalformedLineAnywhereSpoilsTheList) {
  std::string list = List() + "not a line\n";
  std::string hex;
  EXPECT_EQ(Look(list, "update.ini", &hex), kHashListMalformed);
  EXPECT_EQ(FirstMalformedLine(list.data(), list.size()), 4u);
  EXPECT_EQ(FirstMalformedLine(List().data(), List().size()), 0u);
}

TEST(HashList, LongestPathHoldsAFullFolderAndEntryInHalfWidthKatakana) {
  EXPECT_EQ(kMaxListedPath, (255u + 259u) * 3 + 1);
  // Every line at its longest, one per entry, one for update.ini and one
  // for the version record.
  EXPECT_EQ(kMaxHashListSize, (65536u + 2) * (64 + 2 + kMaxListedPath + 1));
}

std::string NumberedPath(size_t i) {
  return "GAME/データ/" + std::to_string(i * 7919 % 100003) + ".dat";
}

std::string DigestFor(size_t i) {
  std::string hex = kHex;
  std::string n = std::to_string(i);
  return hex.replace(0, n.size(), n);
}

struct IndexCase {
  const char* name;
  std::vector<std::string> lines;
  std::string path;
  HashLookup expected;
};

std::vector<std::string> Lines(const std::string& list) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < list.size()) {
    size_t end = list.find('\n', start);
    lines.push_back(list.substr(start, end + 1 - start));
    start = end + 1;
  }
  return lines;
}

// The index answers as the scan of the whole list does, whatever the order
// of the lines.
TEST(HashIndex, AnswersAsTheScanDoes) {
  std::vector<IndexCase> cases = {
      {"first", Lines(List()), "update.ini", kHashListed},
      {"last", Lines(List()), "GAME/sub/b.dat", kHashListed},
      {"prefix of a path", Lines(List()), "GAME/a.da", kHashNotListed},
      {"a path longer than one listed", Lines(List()), "GAME/a.dat2", kHashNotListed},
      {"other case", Lines(List()), "game/a.dat", kHashNotListed},
      {"before every path", Lines(List()), "A", kHashNotListed},
      {"after every path", Lines(List()), "zzz", kHashNotListed},
      {"empty list", {}, "update.ini", kHashNotListed},
      {"twice, apart", Lines(List() + kOtherHex + "  GAME/a.dat\n"), "GAME/a.dat",
       kHashListedTwice},
      {"three times", Lines(List() + List()), "GAME/a.dat", kHashListedTwice},
      {"another path twice", Lines(List() + kOtherHex + "  GAME/a.dat\n"), "update.ini",
       kHashListed},
      {"bytes above 0x7F", Lines(kHex + "  \xff\n" + kOtherHex + "  a\n"), "\xff", kHashListed},
  };
  std::mt19937 random(24);
  for (IndexCase& c : cases) {
    for (int shuffle = 0; shuffle < 4; ++shuffle) {
      std::shuffle(c.lines.begin(), c.lines.end(), random);
      std::string list;
      for (const std::string& line : c.lines) list += line;
      std::vector<size_t> index(c.lines.size() + 1);
      size_t count = IndexHashList(list.data(), list.size(), index.data(), index.size());
      ASSERT_EQ(count, c.lines.size()) << c.name;
      unsigned char scanned[kSha256Size] = {};
      unsigned char indexed[kSha256Size] = {};
      EXPECT_EQ(LookUpHash(list.data(), list.size(), c.path.data(), c.path.size(), scanned),
                c.expected)
          << c.name;
      EXPECT_EQ(
          FindIndexedHash(list.data(), index.data(), count, c.path.data(), c.path.size(), indexed),
          c.expected)
          << c.name;
      if (c.expected == kHashListed) {
        EXPECT_EQ(memcmp(scanned, indexed, kSha256Size), 0) << c.name;
      }
    }
  }
}

// A full list: every entry's line and update.ini's fit the index; one line
// more is more than any medium may list.
TEST(HashIndex, HoldsAFullListAndNoMore) {
  std::string list;
  for (size_t i = 0; i < kMaxHashLines; ++i) list += DigestFor(i) + "  " + NumberedPath(i) + "\n";
  std::vector<size_t> index(kMaxHashLines);
  ASSERT_EQ(IndexHashList(list.data(), list.size(), index.data(), index.size()), kMaxHashLines);
  for (size_t i : {size_t{0}, size_t{1}, kMaxHashLines / 2, kMaxHashLines - 1}) {
    std::string path = NumberedPath(i);
    unsigned char digest[kSha256Size];
    ASSERT_EQ(
        FindIndexedHash(list.data(), index.data(), kMaxHashLines, path.data(), path.size(), digest),
        kHashListed)
        << i;
    char hex[65];
    FormatDigest(digest, hex);
    EXPECT_EQ(hex, DigestFor(i)) << i;
  }
  std::string more = list + kHex + "  one/more.dat\n";
  EXPECT_GT(IndexHashList(more.data(), more.size(), index.data(), index.size()), kMaxHashLines);
}

}  // namespace
