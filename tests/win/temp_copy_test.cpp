// The temporary copies of the game's files: their names as the file calls
// take them, and the leftovers of killed runs.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "copy/copy_file.h"
#include "copy/leftover_temps.h"
#include "copy/temp_name.h"
#include "win/long_path.h"
#include "win_test_support.h"

namespace {

// Windows (not Wine) refuses a path of MAX_PATH characters or more unless it
// has the \\?\ prefix; a destination of 247 to 259 characters is one that
// the suffix pushes past it. Every temporary name must be one Windows takes.
TEST(TempCopyPath, EveryTemporaryNameIsOneWindowsTakes) {
  const std::string folder = "C:\\Games\\";
  for (size_t length : {20, 200, 246, 247, 250, 259, 300, 900}) {
    std::string dest = folder + std::string(length - folder.size() - 4, 'g') + ".dat";
    ASSERT_EQ(dest.size(), length);
    char temp_path[1024];
    wchar_t wide[1024];
    ASSERT_TRUE(MakeTempName(dest.c_str(), temp_path, sizeof temp_path)) << length;
    ASSERT_TRUE(ToWidePath(temp_path, wide, 1024)) << length;
    std::wstring temp = wide;
    std::wstring plain = Wide(temp_path);
    if (temp.size() < MAX_PATH) {
      EXPECT_EQ(temp, plain) << "a short path stays as it is: " << length;
    } else {
      EXPECT_EQ(temp, L"\\\\?\\" + plain) << "destination of " << length;
    }
  }
}

TEST(TempCopyPath, LongPathsAreMadeAbsoluteAndShareGetsUnc) {
  const std::string name(270, 'n');
  wchar_t wide[1024];
  ASSERT_TRUE(ToWidePath(("\\\\server\\share\\" + name).c_str(), wide, 1024));
  EXPECT_EQ(std::wstring(wide), L"\\\\?\\UNC\\server\\share\\" + Wide(name));
  // Doubled separators and dots would be taken literally after the prefix.
  ASSERT_TRUE(ToWidePath(("C:\\a\\.\\b\\\\" + name).c_str(), wide, 1024));
  EXPECT_EQ(std::wstring(wide), L"\\\\?\\C:\\a\\b\\" + Wide(name));
  EXPECT_FALSE(ToWidePath(("C:\\" + std::string(1018, 'n')).c_str(), wide, 1024))
      << "no room for the prefix: refused, never cut";
}

// The copy itself through a destination of 259 characters.
TEST(TempCopyPath, CopiesToADestinationOfMaxPathLess1) {
  TempFolder folder;
  std::string dest = folder.path932() + "\\";
  dest += std::string(MAX_PATH - 1 - dest.size() - 4, 'd') + ".dat";
  ASSERT_EQ(dest.size(), static_cast<size_t>(MAX_PATH - 1));
  WriteTestFile(folder.path() + L"\\src.dat", "new");
  ASSERT_EQ(CopyOneFile((folder.path932() + "\\src.dat").c_str(), dest.c_str(), nullptr, nullptr),
            kCopyDone);
  EXPECT_EQ(ReadTestFile(Wide(dest)), "new");
}

// A killed run or a log-off leaves copies that no later entry of the list
// may come to replace; only the updater's own naming goes.
TEST(LeftoverTemps, OnlyTheUpdatersOwnCopiesAreRemoved) {
  TempFolder folder;
  const std::wstring dir = folder.path() + L"\\";
  const wchar_t* removed[] = {L"a.dat.~update-part", L"表.~update-part", L"ro.bin.~update-part"};
  const wchar_t* kept[] = {L"a.dat", L"b.~update-partx", L"c.~UPDATE-PART", L"~update-part.txt"};
  for (const wchar_t* name : removed) WriteTestFile(dir + name, "partial");
  for (const wchar_t* name : kept) WriteTestFile(dir + name, "keep");
  SetFileAttributesW((dir + L"ro.bin.~update-part").c_str(), FILE_ATTRIBUTE_READONLY);
  CreateDirectoryW((dir + L"sub.~update-part").c_str(), nullptr);
  RemoveLeftoverTemps((folder.path932() + "\\").c_str());
  for (const wchar_t* name : removed) {
    EXPECT_EQ(ReadTestFile(dir + name), "<missing>");
  }
  for (const wchar_t* name : kept) EXPECT_EQ(ReadTestFile(dir + name), "keep");
  EXPECT_NE(GetFileAttributesW((dir + L"sub.~update-part").c_str()), INVALID_FILE_ATTRIBUTES);
}

// At the end of a session the copy on its way is still open: it goes when
// the process ends, even when that is at once.
TEST(LeftoverTemps, OpenTemporaryCopyGoesWhenItsHandleCloses) {
  TempFolder folder;
  std::wstring temp = folder.path() + L"\\big.bin.~update-part";
  HANDLE open = CreateFileW(temp.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(open, INVALID_HANDLE_VALUE);
  RemoveTempOf((folder.path932() + "\\big.bin").c_str());
  CloseHandle(open);
  EXPECT_EQ(GetFileAttributesW(temp.c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
