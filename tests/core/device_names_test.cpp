#include <gtest/gtest.h>

#include <string>

#include "copy/copy_paths.h"
#include "copy/device_names.h"
#include "test_support.h"

namespace {

struct NameCase {
  std::string name;
  bool device;
};

// Windows 7 to 10 compare the part before the first dot, its trailing spaces
// dropped, with the device names in any case.
TEST(DeviceNames, OneName) {
  const NameCase cases[] = {
      {"CON", true},
      {"con", true},
      {"PRN", true},
      {"Aux", true},
      {"nul", true},
      {"COM1", true},
      {"com9", true},
      {"LPT1", true},
      {"lPt9", true},
      {"CONIN$", true},
      {"conout$", true},
      {"aux.txt", true},
      {"nul.tar.gz", true},
      {"com1.ini", true},
      {"LPT9.bin", true},
      {"CONOUT$.log", true},
      {"CON .txt", true},
      {"CON   .txt", true},
      {"CON..txt", true},
      {"CON.", true},
      {"CON ", true},
      {"CON. .", true},
      {"aux.", true},
      // Not devices.
      {"CONSOLE.txt", false},
      {"COM0", false},
      {"LPT0.txt", false},
      {"LPT10", false},
      {"COM10.txt", false},
      {"COM", false},
      {"aux_", false},
      {"auxx.txt", false},
      {"au.x", false},
      {" CON", false},
      {"CON x.txt", false},
      {"xCON", false},
      {".CON", false},
      {"CONIN", false},
      {"CONIN$$", false},
      {"COM1a", false},
      {"", false},
      {Sjis("ＣＯＮ"), false},
      {Sjis("COM１"), false},
      {Sjis("AUX表"), false},
  };
  for (const NameCase& c : cases)
    EXPECT_EQ(IsDeviceName(c.name.data(), c.name.size()), c.device) << c.name;
}

// Only the given bytes count: the name of a path is not terminated.
TEST(DeviceNames, OnlyTheGivenLengthCounts) {
  EXPECT_TRUE(IsDeviceName("AUX\\x", 3));
  EXPECT_FALSE(IsDeviceName("AUXILIARY", 4));
  EXPECT_TRUE(IsDeviceName("COM12", 4));
}

// Any name of the entry, split at separators by characters: the second byte
// of ソ (0x83 0x5C) is no separator.
TEST(DeviceNames, AnyNameOfAnEntry) {
  const NameCase cases[] = {
      {"aux.txt", true},
      {"data\\CON", true},
      {"data/CON", true},
      {"CON\\a.dat", true},
      {"a\\nul.dat\\b", true},
      {"a\\LPT1", true},
      {Sjis("表\\prn.txt"), true},
      {"data\\CONSOLE.txt", false},
      {"COM0\\LPT10\\aux_", false},
      {Sjis("ソaux"), false},
      {Sjis("ソCON\\a"), false},
      {Sjis("ソ.txt"), false},
      {"a.dat", false},
  };
  for (const NameCase& c : cases) EXPECT_EQ(EntryNamesDevice(c.name.c_str()), c.device) << c.name;
}

TEST(DeviceNames, EntryIsRefusedLikeOneLeavingTheGameFolder) {
  const std::string entries[] = {"aux.txt", "data\\CON", "nul.tar.gz", "com1.ini", "LPT9.bin"};
  for (const std::string& entry : entries) {
    CopyPaths paths;
    EXPECT_EQ(BuildCopyPaths("C:\\M", "GAME", "D:\\G", entry.c_str(), &paths), kEntryNamesDevice)
        << entry;
    EXPECT_STREQ(paths.dest_path, "") << entry;
  }
  CopyPaths paths;
  EXPECT_EQ(BuildCopyPaths("C:\\M", "GAME", "D:\\G", "CONSOLE.txt", &paths), kCopyPathsReady);
}

}  // namespace
