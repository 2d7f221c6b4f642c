// The folders the leftover sweep visits: each folder of a selected entry,
// once, however many entries lie in it and in whatever order.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "copy/entry_folders.h"
#include "settings/settings.h"
#include "test_support.h"

namespace {

bool Any(const char*) {
  return true;
}

bool NotRefused(const char* name) {
  return std::string(name).find("CON") == std::string::npos;
}

std::string FolderOf(const std::string& name) {
  size_t end = 0;
  for (size_t i = 0; i < name.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(name[i]);
    if ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) {
      ++i;
    } else if (c == '\\' || c == '/') {
      end = i + 1;
    }
  }
  return name.substr(0, end);
}

struct FolderCase {
  const char* what;
  std::vector<std::string> lines;  // under [A], or [B] after a "[B]" line
  bool (*usable)(const char*);
  std::vector<std::string> folders;  // sorted
};

TEST(EntryFolders, EachFolderOnce) {
  const std::string hyo = Sjis("表");  // second byte 0x5C
  std::vector<std::string> thousands;
  for (int i = 0; i < 5000; ++i) {
    thousands.push_back("d" + std::to_string(i % 3) + "\\" + std::to_string(i) + ".dat");
  }
  const FolderCase cases[] = {
      {"the top folder", {"a.dat", "b.dat"}, Any, {""}},
      {"apart in the list", {"x\\a", "y\\b", "x\\c", "a", "y\\d"}, Any, {"", "x\\", "y\\"}},
      {"a folder and one inside it", {"x\\a", "x\\y\\b"}, Any, {"x\\", "x\\y\\"}},
      {"表 is no separator", {hyo + "a", hyo + "\\b", "c"}, Any, {"", hyo + "\\"}},
      {"unselected entries are passed over", {"x\\a", "[B]", "y\\b"}, Any, {"x\\"}},
      {"a refused entry does not stand for its folder",
       {"x\\CON", "x\\a", "y\\CON"},
       NotRefused,
       {"x\\"}},
      {"thousands in three folders", thousands, Any, {"d0\\", "d1\\", "d2\\"}},
  };
  for (const FolderCase& c : cases) {
    std::string ini = "#INSTALL_LST\n[A]\n[B]\n#FILE\n[A]\n";
    for (const std::string& line : c.lines) ini += line + "\n";
    ParseSettingsBytes(ini);
    static size_t entries[kMaxFiles];
    size_t count = EntryFolders(1, c.usable, entries, kMaxFiles);
    std::vector<std::string> folders;
    for (size_t i = 0; i < count; ++i) folders.push_back(FolderOf(settings.files[entries[i]].name));
    std::set<std::string> distinct(folders.begin(), folders.end());
    EXPECT_EQ(distinct.size(), folders.size()) << c.what;
    EXPECT_EQ(std::vector<std::string>(distinct.begin(), distinct.end()), c.folders) << c.what;
    for (size_t i = 0; i < count; ++i) EXPECT_TRUE(c.usable(settings.files[entries[i]].name));
  }
}

}  // namespace
