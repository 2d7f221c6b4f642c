// The checker target runs update-check on a medium held in memory. These
// tests lay out the same inputs on disk as well and hold the checker's JSON
// report on the memory medium to update-check's own on the disk medium.
#include <dirent.h>
#include <stdio.h>
#include <sys/stat.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "checker.h"
#include "medium_fixture.h"
#include "medium_layout.h"
#include "memory_medium.h"
#include "report_output.h"

namespace {

void MakeDiskFolder(const std::string& path) {
  mkdir(path.c_str(), 0755);
}

void MakeDiskFile(const std::string& path, const void* bytes, size_t size) {
  FILE* file = fopen(path.c_str(), "wb");
  if (file == nullptr) return;
  fwrite(bytes, 1, size, file);
  fclose(file);
}

const MediumMaker kOnDisk = {MakeDiskFolder, MakeDiskFile};
const MediumMaker kInMemory = {AddMemoryFolder, AddMemoryFile};

std::string Run(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[4096];
  size_t n = 0;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  pclose(pipe);
  return out;
}

std::string JsonInMemory(const std::string& input) {
  ClearMemoryMedium();
  const auto* data = reinterpret_cast<const uint8_t*>(input.data());
  LayOutMedium("/medium", data, input.size(), kInMemory);
  CheckReport report;
  std::string json = CheckMedium("/medium", &report) ? FormatJson(report) : "checker failed";
  ClearMemoryMedium();
  return json;
}

std::string JsonOnDisk(const std::string& input) {
  Medium medium;
  const auto* data = reinterpret_cast<const uint8_t*>(input.data());
  LayOutMedium(medium.dir(), data, input.size(), kOnDisk);
  return Run(std::string(UPDATE_CHECK) + " --json '" + medium.dir() + "'");
}

std::string Input(uint8_t present, uint8_t layout, const std::string& ini) {
  return std::string(1, static_cast<char>(present)) + static_cast<char>(layout) + ini;
}

const char kList[] =
    "#PATH NEW\n#INSTALL_LST\n[A]\n##\n#INSTALL_S\n[A]\n#FILE\n[A]\n"
    "game.exe\nDATA\\bg.pak\ndata\\BG.PAK\nsub\\deep\\x.dat\nname.\nend \n"
    "..\\out.txt\nC:\\abs.txt\n";

struct Case {
  const char* name;
  uint8_t present;
  uint8_t layout;
  std::string ini;
};

TEST(CheckerMedium, MemoryAndDiskGiveTheSameReport) {
  const Case cases[] = {
      {"every entry present", 0xFF, 0, kList},
      {"every other entry present", 0x55, 0, kList},
      {"no entry present, the source folder made", 0x00, 1, kList},
      {"the first present entry a folder", 0xFF, 2, kList},
      {"settings named UPDATE.INI", 0xFF, 4, kList},
      {"no settings file", 0xFF, 8, kList},
      {"update.ini a folder", 0xFF, 16, kList},
      {"empty update.ini", 0xFF, 0, ""},
      {"the source folder above the medium", 0xFF, 1,
       "#PATH ..\n#INSTALL_LST\n[A]\n##\n#INSTALL_S\n[A]\n#FILE\n[A]\nx.txt\n"},
      {"the worked example", 0xFF, 1, kWorkedExample},
      {"code page 932 names", 0xFF, 0,
       Sjis("#PATH 新版\n#INSTALL_LST\n[A]\n##\n#INSTALL_S\n[A]\n#FILE\n[A]\n画像\\表.bmp\n"
            "ﾃﾞｰﾀ.dat\n")},
  };
  for (const Case& c : cases) {
    std::string input = Input(c.present, c.layout, c.ini);
    std::string on_disk = JsonOnDisk(input);
    ASSERT_NE(on_disk.find("\"problems\""), std::string::npos) << c.name << ": " << on_disk;
    EXPECT_EQ(JsonInMemory(input), on_disk) << c.name;
  }
}

TEST(CheckerMedium, SeedsGiveTheSameReport) {
  DIR* seeds = opendir(CHECKER_SEEDS);
  ASSERT_NE(seeds, nullptr);
  int compared = 0;
  while (const dirent* entry = readdir(seeds)) {
    if (entry->d_name[0] == '.') continue;
    std::ifstream in(std::string(CHECKER_SEEDS) + "/" + entry->d_name, std::ios::binary);
    std::string input((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (input.size() < 2) continue;
    EXPECT_EQ(JsonInMemory(input), JsonOnDisk(input)) << "seed " << entry->d_name;
    ++compared;
  }
  closedir(seeds);
  EXPECT_GE(compared, 20);
}

}  // namespace
