#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "copy/copy_file.h"
#include "win_test_support.h"

namespace {

bool IsFolder(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsReadOnly(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

int CountEntries(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return 0;
  int count = 0;
  do {
    std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") ++count;
  } while (FindNextFileW(find, &found));
  FindClose(find);
  return count;
}

struct FolderCase {
  const char* what;
  std::string entry_dir;             // code page 932, as the entry's folder part
  std::vector<std::string> folders;  // UTF-8, relative to the game folder
};

// Only the deepest folder used to be tried, so a file two new levels down
// failed although the medium was right.
TEST(CreateEntryFolders, MakesEveryMissingLevel) {
  const FolderCase cases[] = {
      {"one level", "data\\", {"data"}},
      {"two new levels", "new1\\new2\\", {"new1", "new1\\new2"}},
      {"three levels with slashes", "a/b/c/", {"a", "a\\b", "a\\b\\c"}},
      {"second bytes 0x5C are not separators", Sjis("表\\ソ\\"), {"表", "表\\ソ"}},
      {"no folder", "", {}},
  };
  for (const FolderCase& c : cases) {
    TempFolder game;
    std::string dest_dir = game.path932() + "\\" + c.entry_dir;
    CreateEntryFolders(dest_dir.c_str(), game.path932().size() + 1);
    for (const std::string& folder : c.folders) {
      EXPECT_TRUE(IsFolder(game.path() + L"\\" + Wide(folder))) << c.what << ": " << folder;
    }
    EXPECT_EQ(CountEntries(game.path()), c.folders.empty() ? 0 : 1) << c.what;
  }
}

TEST(CreateEntryFolders, KeepsExistingFolders) {
  TempFolder game;
  std::wstring data = game.path() + L"\\data";
  CreateDirectoryW(data.c_str(), nullptr);
  WriteTestFile(data + L"\\keep.txt", "keep");
  std::string dest_dir = game.path932() + "\\data\\sub\\";
  CreateEntryFolders(dest_dir.c_str(), game.path932().size() + 1);
  EXPECT_TRUE(IsFolder(data + L"\\sub"));
  EXPECT_EQ(ReadTestFile(data + L"\\keep.txt"), "keep");
}

class CopyOneFileTest : public ::testing::Test {
 protected:
  std::string Path932(const std::wstring& name) {
    std::string utf8;
    int n = WideCharToMultiByte(932, 0, name.c_str(), -1, nullptr, 0, nullptr, nullptr);
    utf8.resize(n);
    WideCharToMultiByte(932, 0, name.c_str(), -1, &utf8[0], n, nullptr, nullptr);
    utf8.resize(n - 1);
    return folder_.path932() + "\\" + utf8;
  }
  std::wstring PathW(const std::wstring& name) { return folder_.path() + L"\\" + name; }

  TempFolder folder_;
};

TEST_F(CopyOneFileTest, ReplacesAnExistingFile) {
  WriteTestFile(PathW(L"src.dat"), "new");
  WriteTestFile(PathW(L"dst.dat"), "old");
  EXPECT_TRUE(CopyOneFile(Path932(L"src.dat").c_str(), Path932(L"dst.dat").c_str()));
  EXPECT_EQ(ReadTestFile(PathW(L"dst.dat")), "new");
  EXPECT_EQ(CountEntries(folder_.path()), 2);  // no temporary copy left
}

TEST_F(CopyOneFileTest, MissingSourceFails) {
  EXPECT_FALSE(CopyOneFile(Path932(L"none.dat").c_str(), Path932(L"dst.dat").c_str()));
  EXPECT_EQ(ReadTestFile(PathW(L"dst.dat")), "<missing>");
}

TEST_F(CopyOneFileTest, JapaneseNames) {
  std::wstring source = Wide("ゲーム表.dat");
  std::wstring dest = Wide("データソ.dat");
  WriteTestFile(PathW(source), "jp");
  EXPECT_TRUE(CopyOneFile(Path932(source).c_str(), Path932(dest).c_str()));
  EXPECT_EQ(ReadTestFile(PathW(dest)), "jp");
}

TEST_F(CopyOneFileTest, ReadOnlySourceGivesAWritableCopy) {
  WriteTestFile(PathW(L"src.dat"), "ro");
  SetFileAttributesW(PathW(L"src.dat").c_str(), FILE_ATTRIBUTE_READONLY);
  ASSERT_TRUE(CopyOneFile(Path932(L"src.dat").c_str(), Path932(L"dst.dat").c_str()));
  ClearReadOnly(Path932(L"dst.dat").c_str());
  EXPECT_FALSE(IsReadOnly(PathW(L"dst.dat")));
  EXPECT_TRUE(IsReadOnly(PathW(L"src.dat")));
  EXPECT_EQ(ReadTestFile(PathW(L"dst.dat")), "ro");
}

// Checked by the copy itself: Wine replaces read-only files (and as root
// writes into them), Windows does not.
TEST_F(CopyOneFileTest, ReadOnlyDestinationIsNotReplaced) {
  WriteTestFile(PathW(L"src.dat"), "new");
  WriteTestFile(PathW(L"dst.dat"), "old");
  SetFileAttributesW(PathW(L"dst.dat").c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_FALSE(CopyOneFile(Path932(L"src.dat").c_str(), Path932(L"dst.dat").c_str()));
  EXPECT_EQ(ReadTestFile(PathW(L"dst.dat")), "old");
  EXPECT_EQ(CountEntries(folder_.path()), 2);  // no temporary copy left
}

struct KeptCase {
  const char* what;
  void (*arrange)(const std::wstring& src, const std::wstring& dst);
};

// Each failure leaves the old file byte for byte and no temporary copy.
TEST_F(CopyOneFileTest, FailuresLeaveTheOldFileIntact) {
  const KeptCase cases[] = {
      {"missing source",
       [](const std::wstring& src, const std::wstring&) { DeleteFileW(src.c_str()); }},
      {"source is a folder",
       [](const std::wstring& src, const std::wstring&) {
         DeleteFileW(src.c_str());
         CreateDirectoryW(src.c_str(), nullptr);
       }},
  };
  for (const KeptCase& c : cases) {
    TempFolder folder;
    std::wstring src = folder.path() + L"\\src.dat";
    std::wstring dst = folder.path() + L"\\dst.dat";
    WriteTestFile(src, "new");
    WriteTestFile(dst, "old contents");
    c.arrange(src, dst);
    std::string src932 = folder.path932() + "\\src.dat";
    std::string dst932 = folder.path932() + "\\dst.dat";
    EXPECT_FALSE(CopyOneFile(src932.c_str(), dst932.c_str())) << c.what;
    EXPECT_EQ(ReadTestFile(dst), "old contents") << c.what;
    EXPECT_EQ(ReadTestFile(dst + L".~update-part"), "<missing>") << c.what;
  }
}

TEST_F(CopyOneFileTest, DestinationThatIsAFolderIsLeftAlone) {
  WriteTestFile(PathW(L"src.dat"), "new");
  CreateDirectoryW(PathW(L"dst.dat").c_str(), nullptr);
  WriteTestFile(PathW(L"dst.dat\\inner.txt"), "inner");
  EXPECT_FALSE(CopyOneFile(Path932(L"src.dat").c_str(), Path932(L"dst.dat").c_str()));
  EXPECT_EQ(ReadTestFile(PathW(L"dst.dat\\inner.txt")), "inner");
  EXPECT_EQ(CountEntries(folder_.path()), 2);
}

TEST_F(CopyOneFileTest, DestinationHeldOpenStaysIntact) {
  WriteTestFile(PathW(L"src.dat"), "new");
  WriteTestFile(PathW(L"dst.dat"), "old");
  HANDLE held = CreateFileW(PathW(L"dst.dat").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(CopyOneFile(Path932(L"src.dat").c_str(), Path932(L"dst.dat").c_str()));
  CloseHandle(held);
  EXPECT_EQ(ReadTestFile(PathW(L"dst.dat")), "old");
  EXPECT_EQ(CountEntries(folder_.path()), 2);
}

TEST_F(CopyOneFileTest, LeftoverTemporaryCopyIsRemoved) {
  WriteTestFile(PathW(L"src.dat"), "new");
  WriteTestFile(PathW(L"dst.dat"), "old");
  // What a run killed in the middle of this entry's copy leaves behind.
  WriteTestFile(PathW(L"dst.dat.~update-part"), "partial");
  SetFileAttributesW(PathW(L"dst.dat.~update-part").c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_TRUE(CopyOneFile(Path932(L"src.dat").c_str(), Path932(L"dst.dat").c_str()));
  EXPECT_EQ(ReadTestFile(PathW(L"dst.dat")), "new");
  EXPECT_EQ(ReadTestFile(PathW(L"dst.dat.~update-part")), "<missing>");
}

TEST_F(CopyOneFileTest, ClearReadOnlyKeepsOtherAttributes) {
  WriteTestFile(PathW(L"dst.dat"), "old");
  SetFileAttributesW(PathW(L"dst.dat").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
  ASSERT_TRUE(IsReadOnly(PathW(L"dst.dat")));
  ClearReadOnly(Path932(L"dst.dat").c_str());
  DWORD attributes = GetFileAttributesW(PathW(L"dst.dat").c_str());
  EXPECT_EQ(attributes & FILE_ATTRIBUTE_READONLY, 0u);
  EXPECT_NE(attributes & FILE_ATTRIBUTE_HIDDEN, 0u);
  ClearReadOnly(Path932(L"none.dat").c_str());  // a missing file is left alone
  EXPECT_EQ(ReadTestFile(PathW(L"none.dat")), "<missing>");
}

}  // namespace
