#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "settings/settings.h"

namespace {

void SetFiles(const std::vector<FileEntry>& entries) {
  ResetSettings();
  for (const FileEntry& e : entries) settings.files[settings.file_count++] = e;
}

std::vector<std::string> Drain(uint32_t mask) {
  std::vector<std::string> names;
  SelectFiles(mask);
  char out[32];
  while (NextSelectedFile(out, sizeof out) == 0) names.push_back(out);
  return names;
}

struct CursorCase {
  const char* what;
  std::vector<FileEntry> files;
  uint32_t mask;
  std::vector<std::string> expected;
};

TEST(FileCursor, Selection) {
  const CursorCase cases[] = {
      {"empty list", {}, 0xFF, {}},
      {"no type and high types skipped",
       {{"a", 0x80000000u}, {"b", 1u << 8}, {"c", 1u << 15}, {"d", 1u << 7}},
       0xFF,
       {"d"}},
      {"mask 0 selects nothing", {{"a", 1u}}, 0, {}},
      {"same name twice, in order", {{"x", 1u}, {"y", 2u}, {"x", 4u}}, 0xFF, {"x", "y", "x"}},
      {"31-byte name whole",
       {{"abcdefghijklmnopqrstuvwxyz01234", 1u}},
       1,
       {"abcdefghijklmnopqrstuvwxyz01234"}},
  };
  for (const CursorCase& c : cases) {
    SetFiles(c.files);
    EXPECT_EQ(Drain(c.mask), c.expected) << c.what;
  }
}

TEST(FileCursor, StaysAtTheEndUntilRestarted) {
  SetFiles({{"a", 1u}});
  char out[32] = "untouched";
  EXPECT_EQ(NextSelectedFile(out, sizeof out), 1);  // no SelectFiles since the reset
  EXPECT_STREQ(out, "untouched");
  SelectFiles(1);
  EXPECT_EQ(NextSelectedFile(out, sizeof out), 0);
  EXPECT_EQ(NextSelectedFile(out, sizeof out), 1);
  EXPECT_EQ(NextSelectedFile(out, sizeof out), 1);
  EXPECT_STREQ(out, "a");
  SelectFiles(1);
  EXPECT_EQ(NextSelectedFile(out, sizeof out), 0);
}

// Every scan (the checks, the byte total, the copy) passes over an entry
// marked already new; the marks last until the settings are reset.
TEST(FileCursor, PassesOverEntriesAlreadyNew) {
  SetFiles({{"a", 1u}, {"b", 1u}, {"c", 2u}, {"d", 1u}});
  SelectFiles(0xFF);
  char out[32];
  std::vector<int> indexes;
  while (NextSelectedFile(out, sizeof out) == 0) indexes.push_back(LastSelectedIndex());
  EXPECT_EQ(indexes, (std::vector<int>{0, 1, 2, 3}));
  MarkAlreadyNew(1);
  MarkAlreadyNew(3);
  MarkAlreadyNew(-1);
  MarkAlreadyNew(kMaxFiles);
  EXPECT_TRUE(IsAlreadyNew(1));
  EXPECT_FALSE(IsAlreadyNew(2));
  EXPECT_FALSE(IsAlreadyNew(kMaxFiles));
  EXPECT_EQ(Drain(0xFF), (std::vector<std::string>{"a", "c"}));
  EXPECT_EQ(Drain(1), (std::vector<std::string>{"a"}));
  ClearAlreadyNew();
  EXPECT_EQ(Drain(0xFF), (std::vector<std::string>{"a", "b", "c", "d"}));
  MarkAlreadyNew(0);
  SetFiles({{"a", 1u}, {"b", 1u}});
  EXPECT_EQ(Drain(0xFF), (std::vector<std::string>{"a", "b"}));
}

}  // namespace
