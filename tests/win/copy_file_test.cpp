#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <thread>
#include <vector>

#include "copy/chunked_copy.h"
#include "copy/copy_file.h"
#include "copy/copy_progress.h"
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

// The copy as the dialog makes it, without pauses between chunks.
bool Copied(const char* source, const char* dest) {
  return CopyOneFile(source, dest, nullptr, nullptr) == kCopyDone;
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
  EXPECT_TRUE(Copied(Path932(L"src.dat").c_str(), Path932(L"dst.dat").c_str()));
  EXPECT_EQ(ReadTestFile(PathW(L"dst.dat")), "new");
  EXPECT_EQ(CountEntries(folder_.path()), 2);  // no temporary copy left
}

TEST_F(CopyOneFileTest, MissingSourceFails) {
  EXPECT_FALSE(Copied(Path932(L"none.dat").c_str(), Path932(L"dst.dat").c_str()));
  EXPECT_EQ(ReadTestFile(PathW(L"dst.dat")), "<missing>");
}

TEST_F(CopyOneFileTest, JapaneseNames) {
  std::wstring source = Wide("ゲーム表.dat");
  std::wstring dest = Wide("データソ.dat");
  WriteTestFile(PathW(source), "jp");
  EXPECT_TRUE(Copied(Path932(source).c_str(), Path932(dest).c_str()));
  EXPECT_EQ(ReadTestFile(PathW(dest)), "jp");
}

TEST_F(CopyOneFileTest, ReadOnlySourceGivesAWritableCopy) {
  WriteTestFile(PathW(L"src.dat"), "ro");
  SetFileAttributesW(PathW(L"src.dat").c_str(), FILE_ATTRIBUTE_READONLY);
  ASSERT_TRUE(Copied(Path932(L"src.dat").c_str(), Path932(L"dst.dat").c_str()));
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
  EXPECT_FALSE(Copied(Path932(L"src.dat").c_str(), Path932(L"dst.dat").c_str()));
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
    EXPECT_FALSE(Copied(src932.c_str(), dst932.c_str())) << c.what;
    EXPECT_TRUE(ReadTestFile(dst) == "old contents") << c.what;
    EXPECT_EQ(ReadTestFile(dst + L".~update-part"), "<missing>") << c.what;
  }
}

TEST_F(CopyOneFileTest, DestinationThatIsAFolderIsLeftAlone) {
  WriteTestFile(PathW(L"src.dat"), "new");
  CreateDirectoryW(PathW(L"dst.dat").c_str(), nullptr);
  WriteTestFile(PathW(L"dst.dat\\inner.txt"), "inner");
  EXPECT_FALSE(Copied(Path932(L"src.dat").c_str(), Path932(L"dst.dat").c_str()));
  EXPECT_EQ(ReadTestFile(PathW(L"dst.dat\\inner.txt")), "inner");
  EXPECT_EQ(CountEntries(folder_.path()), 2);
}

TEST_F(CopyOneFileTest, DestinationHeldOpenStaysIntact) {
  WriteTestFile(PathW(L"src.dat"), "new");
  WriteTestFile(PathW(L"dst.dat"), "old");
  HANDLE held = CreateFileW(PathW(L"dst.dat").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(Copied(Path932(L"src.dat").c_str(), Path932(L"dst.dat").c_str()));
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
  EXPECT_TRUE(Copied(Path932(L"src.dat").c_str(), Path932(L"dst.dat").c_str()));
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

// Larger than several chunks and not a multiple of any, each mebibyte
// stamped with its number so that a chunk written twice or skipped shows.
std::string ManyChunks() {
  std::string bytes((5 << 20) + 1234, '\0');
  unsigned state = 12345;
  for (size_t i = 0; i < bytes.size(); ++i) {
    state = state * 1103515245u + 12345u;
    bytes[i] = static_cast<char>(state >> 16);
  }
  for (size_t mb = 0; mb * (1 << 20) < bytes.size(); ++mb) bytes[mb << 20] = static_cast<char>(mb);
  return bytes;
}

FILETIME LastWriteTime(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
  return data.ftLastWriteTime;
}

void SetLastWriteTime(const std::wstring& path, const FILETIME& time) {
  HANDLE file =
      CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &time));
  CloseHandle(file);
}

struct CarriedCase {
  const char* what;
  DWORD source_attributes;
  DWORD expected;  // of the copy, among the bits below
};

// The copy used to be CopyFileW's, which carries both; a game may check a
// file's time, and a hidden file stays hidden.
TEST_F(CopyOneFileTest, CarriesLastWriteTimeAndAttributes) {
  const DWORD kBits = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  const CarriedCase cases[] = {
      {"plain", FILE_ATTRIBUTE_NORMAL, 0},
      {"hidden and system", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM,
       FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM},
      {"read-only is not carried", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN,
       FILE_ATTRIBUTE_HIDDEN},
  };
  const FILETIME kLastWrite = {0x2A3B4C00u, 0x01C0F0E1u};  // in 2001
  const std::string bytes = ManyChunks();
  for (const CarriedCase& c : cases) {
    TempFolder folder;
    std::wstring src = folder.path() + L"\\src.dat";
    std::wstring dst = folder.path() + L"\\dst.dat";
    WriteTestFile(src, bytes);
    WriteTestFile(dst, "old");
    SetLastWriteTime(src, kLastWrite);
    ASSERT_TRUE(SetFileAttributesW(src.c_str(), c.source_attributes)) << c.what;
    ASSERT_TRUE(
        Copied((folder.path932() + "\\src.dat").c_str(), (folder.path932() + "\\dst.dat").c_str()))
        << c.what;
    EXPECT_TRUE(ReadTestFile(dst) == bytes) << c.what;
    FILETIME written = LastWriteTime(dst);
    EXPECT_EQ(CompareFileTime(&written, &kLastWrite), 0) << c.what;
    EXPECT_EQ(GetFileAttributesW(dst.c_str()) & kBits, c.expected) << c.what;
    SetFileAttributesW(src.c_str(), FILE_ATTRIBUTE_NORMAL);
    SetFileAttributesW(dst.c_str(), FILE_ATTRIBUTE_NORMAL);
  }
}

// Records every pulse and stops the copy at the first that reports at
// least stop_at bytes (0: never).
struct PulseLog {
  unsigned long long stop_at = 0;
  std::vector<unsigned long long> copied;
};

bool LogPulse(void* context, unsigned long long copied) {
  auto* log = static_cast<PulseLog*>(context);
  log->copied.push_back(copied);
  return log->stop_at == 0 || copied < log->stop_at;
}

TEST_F(CopyOneFileTest, PulsesAfterEveryChunkUpToTheWholeFile) {
  const std::string bytes = ManyChunks();
  WriteTestFile(PathW(L"src.dat"), bytes);
  PulseLog log;
  ASSERT_EQ(CopyOneFile(Path932(L"src.dat").c_str(), Path932(L"dst.dat").c_str(), LogPulse, &log),
            kCopyDone);
  ASSERT_GE(log.copied.size(), 6u);
  unsigned long long before = 0;
  for (unsigned long long copied : log.copied) {
    EXPECT_GT(copied, before);
    EXPECT_LE(copied - before, 1u << 20) << "a chunk larger than a mebibyte";
    before = copied;
  }
  EXPECT_EQ(log.copied.back(), bytes.size());
  EXPECT_TRUE(ReadTestFile(PathW(L"dst.dat")) == bytes);
}

struct StopCase {
  const char* what;
  unsigned long long stop_at;
};

// Stopped part way (the dialog closed), the old file stays byte for byte,
// no temporary copy remains, and no pulse follows the one that stopped it.
TEST_F(CopyOneFileTest, StoppedCopyLeavesTheOldFile) {
  const std::string bytes = ManyChunks();
  const StopCase cases[] = {
      {"stopped after the first chunk", 1},
      {"stopped after the last chunk", bytes.size()},
  };
  for (const StopCase& c : cases) {
    TempFolder folder;
    std::wstring src = folder.path() + L"\\src.dat";
    std::wstring dst = folder.path() + L"\\dst.dat";
    WriteTestFile(src, bytes);
    WriteTestFile(dst, "old contents");
    PulseLog log;
    log.stop_at = c.stop_at;
    CopyOutcome outcome = CopyOneFile((folder.path932() + "\\src.dat").c_str(),
                                      (folder.path932() + "\\dst.dat").c_str(), LogPulse, &log);
    EXPECT_EQ(outcome, kCopyStopped) << c.what;
    ASSERT_FALSE(log.copied.empty()) << c.what;
    EXPECT_GE(log.copied.back(), c.stop_at) << c.what;
    EXPECT_TRUE(log.copied.size() == 1 || log.copied[log.copied.size() - 2] < c.stop_at)
        << c.what << ": pulses went on after the stop";
    EXPECT_TRUE(ReadTestFile(dst) == "old contents") << c.what;
    EXPECT_EQ(ReadTestFile(dst + L".~update-part"), "<missing>") << c.what;
    EXPECT_EQ(CountEntries(folder.path()), 2) << c.what;
  }
}

// Neither Windows' byte-range locks nor a writer past the copy's share
// mode make a read fail under Wine, so a medium that fails part way is a
// pipe here: its writer sends part of the file and goes away.
HANDLE PartialSource(size_t sent) {
  HANDLE read_end = nullptr;
  HANDLE write_end = nullptr;
  if (!CreatePipe(&read_end, &write_end, nullptr, 0)) return INVALID_HANDLE_VALUE;
  std::thread([write_end, sent] {
    std::string bytes(sent, 'x');
    DWORD put = 0;
    WriteFile(write_end, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr);
    CloseHandle(write_end);
  }).detach();
  return read_end;
}

struct ReadFailureCase {
  const char* what;
  HANDLE (*open)(const std::wstring& path);
};

TEST(CopyContents, AReadThatFailsFailsTheCopy) {
  const ReadFailureCase cases[] = {
      {"medium gone after 1.5 MB", [](const std::wstring&) { return PartialSource(3 << 19); }},
      {"nothing readable",
       [](const std::wstring& path) {
         return CreateFileW(path.c_str(), FILE_WRITE_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
       }},
  };
  for (const ReadFailureCase& c : cases) {
    TempFolder folder;
    std::wstring src = folder.path() + L"\\src.dat";
    WriteTestFile(src, ManyChunks());
    HANDLE from = c.open(src);
    ASSERT_NE(from, INVALID_HANDLE_VALUE) << c.what;
    HANDLE to = CreateFileW((folder.path() + L"\\dst.dat").c_str(), GENERIC_WRITE, 0, nullptr,
                            CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(to, INVALID_HANDLE_VALUE) << c.what;
    PulseLog log;
    EXPECT_EQ(CopyContents(from, to, 5 << 20, LogPulse, &log), kCopyFailed) << c.what;
    CloseHandle(from);
    CloseHandle(to);
  }
}

// A file that reads short of its size, as a medium gives out: Linux's
// sysfs files claim 4096 bytes and hold a few, and Wine shows them on Z:.
TEST_F(CopyOneFileTest, SourceEndingBeforeItsSizeLeavesNoTrace) {
  const std::wstring kShort = L"Z:\\sys\\kernel\\uevent_seqnum";
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(kShort.c_str(), GetFileExInfoStandard, &data) ||
      data.nFileSizeLow <= ReadTestFile(kShort).size()) {
    GTEST_SKIP() << "no file here reads short of its size";
  }
  WriteTestFile(PathW(L"dst.dat"), "old");
  std::string source;
  for (wchar_t c : kShort) source += static_cast<char>(c);
  EXPECT_FALSE(Copied(source.c_str(), Path932(L"dst.dat").c_str()));
  EXPECT_EQ(ReadTestFile(PathW(L"dst.dat")), "old");
  EXPECT_EQ(CountEntries(folder_.path()), 1);  // no temporary copy left
}

struct BarCase {
  unsigned long long done, total;
  int position, end;
};

// The bar's range is signed 32-bit: updates beyond 2 GB count in larger
// units, and one without a byte still has a range.
TEST(ProgressBar, PositionsFitTheRange) {
  const unsigned long long kGiB = 1ull << 30;
  const BarCase cases[] = {
      {0, 0, 0, 1},
      {5, 0, 0, 1},
      {0, 100, 0, 100},
      {50, 100, 50, 100},
      {150, 100, 100, 100},
      {kGiB, 2 * kGiB - 1, 0x40000000, 0x7FFFFFFF},
      {kGiB, 2 * kGiB, 0x20000000, 0x40000000},
      {3 * kGiB, 6 * kGiB, 0x30000000, 0x60000000},
      {40 * kGiB, 80 * kGiB, 0x28000000, 0x50000000},
  };
  for (const BarCase& c : cases) {
    EXPECT_EQ(ProgressPosition(c.done, c.total), c.position) << c.done << " of " << c.total;
    EXPECT_EQ(ProgressEnd(c.total), c.end) << c.total;
  }
}

}  // namespace
