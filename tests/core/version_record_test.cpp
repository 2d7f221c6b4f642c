// Records of the game versions a medium was packed from: what the reader
// accepts, and how it finds a path's lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "versions/version_record.h"

namespace {

const std::string kHex = "9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08";
const std::string kOtherHex = "60303ae22b998861bce3b28f33eec1be758a213c86c93c076dbe9f558c11c752";

std::string File(const std::string& size, const std::string& path, const std::string& hex = kHex) {
  return hex + " " + size + " " + path + "\n";
}

struct RecordCase {
  const char* name;
  std::string record;
  size_t malformed;  // first malformed line, 0 when accepted
};

std::string ManyVersions(size_t count) {
  std::string record;
  for (size_t i = 0; i < count; ++i) record += "version v" + std::to_string(i) + "\n";
  return record;
}

const RecordCase kRecords[] = {
    {"OneVersion", "version 1.00\n" + File("10", "game.exe"), 0},
    {"VersionWithoutFiles", "version 1.00\n", 0},
    {"TwoVersions",
     "version 1.00\n" + File("10", "data/a.dat") + File("3", "game.exe") + "version 1.01\n" +
         File("11", "data/a.dat") + File("3", "game.exe"),
     0},
    {"JapaneseLabelAndPath", "version 初版\n" + File("0", "データ/表.dat"), 0},
    {"LabelWithSpaces", "version  1.00 final \n", 0},
    {"SizeAtItsLimit", "version a\n" + File("18446744073709551615", "a"), 0},
    {"Empty", "", 1},
    {"NoFinalLineFeed", "version 1.00\n" + kHex + " 10 game.exe", 2},
    {"LabelWithoutLineFeed", "version 1.00", 1},
    {"CrLf", "version 1.00\r\n", 1},
    {"CrAtEndOfPath", "version 1.00\n" + kHex + " 10 game.exe\r\n", 2},
    {"EmptyLabel", "version \n", 1},
    {"NoSpaceAfterWord", "version\n", 1},
    {"LabelAtItsLimit", "version " + std::string(kMaxVersionLabel, 'x') + "\n", 0},
    {"LabelTooLong", "version " + std::string(kMaxVersionLabel + 1, 'x') + "\n", 1},
    {"LabelTwice", "version 1.00\nversion 1.01\nversion 1.00\n", 3},
    {"LabelWithTab", "version 1.00\t\n", 1},
    {"LabelWithEscape", "version \x1b[2J\n", 1},
    {"LabelNotUtf8", "version \x83\x6f\n", 1},
    {"LabelOverlongUtf8", "version \xc0\xaf\n", 1},
    {"LabelUtf8Surrogate", "version \xed\xa0\x80\n", 1},
    {"LabelCutUtf8", "version \xe3\x83\n", 1},
    {"VersionsAtTheirLimit", ManyVersions(kMaxVersions), 0},
    {"TooManyVersions", ManyVersions(kMaxVersions + 1), kMaxVersions + 1},
    {"FileBeforeVersion", File("10", "game.exe") + "version 1.00\n", 1},
    {"BlankLine", "version 1.00\n\n", 2},
    {"Unsorted", "version 1.00\n" + File("1", "b") + File("1", "a"), 3},
    {"Doubled", "version 1.00\n" + File("1", "a") + File("2", "a", kOtherHex), 3},
    {"SortedByBytesNotCase", "version 1.00\n" + File("1", "B") + File("1", "a"), 0},
    {"SortedAsUnsignedBytes", "version 1.00\n" + File("1", "z") + File("1", "\xc3\xa9"), 0},
    {"SamePathInTwoVersions",
     "version 1.00\n" + File("1", "b") + "version 1.01\n" + File("1", "a") + File("1", "b"), 0},
    {"UpperCaseHex",
     "version 1\n9F86D081884C7D659A2FEAA0C55AD015A3BF4F1B2B0B822CD15D6C15B0F00A08 1 a\n", 2},
    {"NotHex", "version 1\n" + File("1", "a", "g" + kHex.substr(1)), 2},
    {"ShortHash", "version 1\n" + File("1", "a", kHex.substr(1)), 2},
    {"TwoSpacesAfterHash", "version 1\n" + kHex + "  1 a\n", 2},
    {"LeadingSpaceIsPartOfThePath", "version 1\n" + kHex + " 1  a\n", 0},
    {"NoSize", "version 1\n" + kHex + " a\n", 2},
    {"SizeLeadingZero", "version 1\n" + File("010", "a"), 2},
    {"SizeZero", "version 1\n" + File("0", "a"), 0},
    {"SizeSign", "version 1\n" + File("+1", "a"), 2},
    {"SizeOverflow", "version 1\n" + File("18446744073709551616", "a"), 2},
    {"SizeFarOverflow", "version 1\n" + File("99999999999999999999999", "a"), 2},
    {"NoPath", "version 1\n" + kHex + " 1 \n", 2},
    {"AbsolutePath", "version 1\n" + File("1", "/a"), 2},
    {"TrailingSlash", "version 1\n" + File("1", "a/"), 2},
    {"EmptyName", "version 1\n" + File("1", "a//b"), 2},
    {"DotName", "version 1\n" + File("1", "./a"), 2},
    {"DotDotName", "version 1\n" + File("1", "a/../../b"), 2},
    {"Backslash", "version 1\n" + File("1", "a\\b"), 2},
    {"DriveLetter", "version 1\n" + File("1", "C:/a"), 2},
    {"ControlInPath", "version 1\n" + File("1", "a\x01"), 2},
    {"DeleteInPath", "version 1\n" + File("1", "a\x7f"), 2},
    {"NulInPath", "version 1\n" + kHex + std::string(" 1 a\0b\n", 7), 2},
    {"PathNotUtf8", "version 1\n" + File("1", "\x95\x5c.dat"), 2},
    {"PathAtItsLimit", "version 1\n" + File("1", std::string(kMaxListedPath, 'p')), 0},
    {"PathOverItsLimit", "version 1\n" + File("1", std::string(kMaxListedPath + 1, 'p')), 2},
    {"BadLineAfterGoodOnes", "version 1\n" + File("1", "a") + File("1", "b") + "junk\n", 4},
};

class VersionRecordTest : public ::testing::TestWithParam<RecordCase> {};

void PrintTo(const RecordCase& c, std::ostream* os) {
  *os << c.name;
}

TEST_P(VersionRecordTest, AcceptsOrNamesTheFirstBadLine) {
  const RecordCase& c = GetParam();
  EXPECT_EQ(FirstMalformedVersionLine(c.record.data(), c.record.size()), c.malformed);
}

INSTANTIATE_TEST_SUITE_P(Records, VersionRecordTest, ::testing::ValuesIn(kRecords),
                         [](const ::testing::TestParamInfo<RecordCase>& info) {
                           return info.param.name;
                         });

struct Indexed {
  std::string record;
  std::vector<VersionHeading> versions;
  std::vector<size_t> lines;

  explicit Indexed(const std::string& text) : record(text), versions(kMaxVersions) {
    EXPECT_EQ(FirstMalformedVersionLine(record.data(), record.size()), 0u);
    versions.resize(ListVersions(record.data(), record.size(), versions.data(), versions.size()));
    lines.resize(record.size() / kMinVersionFileLine + 1);
    lines.resize(IndexVersionFiles(record.data(), record.size(), lines.data(), lines.size()));
  }

  std::string Label(size_t v) const {
    return record.substr(versions[v].label_offset, versions[v].label_length);
  }

  // "label:size" of each line of path, in index order.
  std::vector<std::string> Find(const std::string& path) const {
    size_t first, end;
    FindVersionPath(record.data(), lines.data(), lines.size(), path.data(), path.size(), &first,
                    &end);
    std::vector<std::string> found;
    for (size_t i = first; i < end; ++i) {
      VersionFile file;
      ReadVersionFile(record.data(), lines[i], &file);
      EXPECT_EQ(record.substr(file.path_offset, file.path_length), path);
      size_t v = VersionOfLine(versions.data(), versions.size(), lines[i]);
      found.push_back(Label(v) + ":" + std::to_string(file.size));
    }
    return found;
  }
};

const std::string kThreeVersions =
    "version 1.00\n" + File("5", "data/a.dat") + File("100", "game.exe") + "version 1.01\n" +
    File("6", "data/a.dat") + File("7", "data/b.dat") + File("101", "game.exe") + "version 1.02\n" +
    "version 1.03\n" + File("8", "data/a.dat", kOtherHex) + File("7", "data/b.dat");

TEST(VersionRecord, ListsVersionsInOrder) {
  Indexed r(kThreeVersions);
  ASSERT_EQ(r.versions.size(), 4u);
  EXPECT_EQ(r.Label(0), "1.00");
  EXPECT_EQ(r.Label(1), "1.01");
  EXPECT_EQ(r.Label(2), "1.02");
  EXPECT_EQ(r.Label(3), "1.03");
  EXPECT_EQ(r.lines.size(), 7u);
}

TEST(VersionRecord, FindsEveryVersionOfAPathInVersionOrder) {
  Indexed r(kThreeVersions);
  using V = std::vector<std::string>;
  EXPECT_EQ(r.Find("data/a.dat"), (V{"1.00:5", "1.01:6", "1.03:8"}));
  EXPECT_EQ(r.Find("data/b.dat"), (V{"1.01:7", "1.03:7"}));
  EXPECT_EQ(r.Find("game.exe"), (V{"1.00:100", "1.01:101"}));
  EXPECT_EQ(r.Find("data/a.da"), V{});
  EXPECT_EQ(r.Find("data/a.dat2"), V{});
  EXPECT_EQ(r.Find("DATA/a.dat"), V{});
  EXPECT_EQ(r.Find("a"), V{});
  EXPECT_EQ(r.Find("zzz"), V{});
}

TEST(VersionRecord, ReadsDigestAndLargeSizes) {
  Indexed r("version x\n" + File("18446744073709551615", "big", kOtherHex));
  ASSERT_EQ(r.lines.size(), 1u);
  VersionFile file;
  ReadVersionFile(r.record.data(), r.lines[0], &file);
  EXPECT_EQ(file.size, UINT64_MAX);
  char hex[65];
  FormatDigest(file.digest, hex);
  EXPECT_EQ(hex, kOtherHex);
}

// Many versions of many paths, the index built through the heap sort: every
// path still finds one line per version that has it, in version order.
TEST(VersionRecord, IndexHoldsManyVersionsInOrder) {
  std::string record;
  const size_t kVersionCount = 40;
  const size_t kPaths = 50;
  for (size_t v = 0; v < kVersionCount; ++v) {
    record += "version v" + std::to_string(v) + "\n";
    for (size_t p = 0; p < kPaths; ++p) {
      if ((p + v) % 3 == 0) continue;
      char name[16];
      snprintf(name, sizeof name, "f%03zu", p);
      record += File(std::to_string(v), name);
    }
  }
  Indexed r(record);
  for (size_t p = 0; p < kPaths; ++p) {
    char name[16];
    snprintf(name, sizeof name, "f%03zu", p);
    std::vector<std::string> expected;
    for (size_t v = 0; v < kVersionCount; ++v) {
      if ((p + v) % 3 != 0) expected.push_back("v" + std::to_string(v) + ":" + std::to_string(v));
    }
    EXPECT_EQ(r.Find(name), expected) << name;
  }
}

TEST(VersionRecord, IndexReportsWhenStorageIsShort) {
  std::string record = "version 1\n" + File("1", "a") + File("1", "b") + File("1", "c");
  size_t lines[2];
  EXPECT_EQ(IndexVersionFiles(record.data(), record.size(), lines, 2), 3u);
}

TEST(VersionRecord, CapsHoldTheLongestRecord) {
  EXPECT_EQ(kMinVersionFileLine, 69u);
  EXPECT_EQ(kMaxVersionFileLines, kMaxHashListSize / 69);
}

}  // namespace
