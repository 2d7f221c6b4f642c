// Install records and file lists that once made a correct medium fail, or
// could write outside the game folder.
#include "scenario.h"

namespace e2e {
namespace {

// The names in folder, as it lists them.
std::vector<std::string> NamesIn(const std::wstring& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") names.push_back(Utf8(name));
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

class SafetyTest : public UpdateRun {
 protected:
  // A refused entry is reported like a failed copy, naming the paths as
  // plainly joined, and nothing is copied.
  void ExpectRefused(const std::wstring& entry) {
    MessageBoxView box = AwaitMessage();
    EXPECT_EQ(Utf8(box.text), Utf8(CopyFailedText(Source(entry), Dest(entry))));
    EXPECT_EQ(Utf8(box.caption), Utf8(kCaptionCopyFailed));
    HWND copy = FindWindowOf(program_.pid, Kind::kCopy);
    EXPECT_TRUE(copy != nullptr && box.owner == copy) << "owned by FILECOPY";
    Dismiss(box);
  }
};

// The registry lists values by name; these sort before GAMEPATH and do not
// fit the reader's buffers. They must not hide the game folder.
TEST_F(SafetyTest, OversizeValuesBeforeGamePathStillFindTheGame) {
  WriteSettings({L"[SYSTEM]", L"a.dat"});
  PutSource(L"a.dat", "A");
  std::string big(300, 'x');
  WriteRecordValue(L"AAA_BIG_DATA", REG_BINARY, big.data(), static_cast<DWORD>(big.size()));
  std::wstring long_name = L"AAB_" + std::wstring(296, L'n');
  const DWORD one = 1;
  WriteRecordValue(long_name, REG_DWORD, &one, sizeof one);
  WriteRecord(game_);
  Launch();
  HWND dialog = AwaitUpdate();
  ASSERT_TRUE(dialog);
  EXPECT_EQ(Utf8(ItemText(dialog, 1001)), Utf8(game_));
  ASSERT_TRUE(PostCommand(dialog, IDOK));
  ExpectCompletion();
  EXPECT_TRUE(Exists(Dest(L"a.dat")));
}

TEST_F(SafetyTest, TwoNewFolderLevelsAreCreated) {
  WriteSettings({L"[SYSTEM]", L"new1\\new2\\a.dat", L"[DATA]", L"新\\規\\絵.dat"});
  PutSource(L"new1\\new2\\a.dat", "A");
  PutSource(L"新\\規\\絵.dat", "E");
  WriteRecord(game_);
  StartUpdate();
  ExpectCompletion();
  std::string bytes;
  EXPECT_TRUE(ReadBytes(Dest(L"new1\\new2\\a.dat"), &bytes) && bytes == "A");
  EXPECT_TRUE(ReadBytes(Dest(L"新\\規\\絵.dat"), &bytes) && bytes == "E");
}

TEST_F(SafetyTest, EntriesLeavingTheGameFolderAreRefused) {
  const std::vector<std::wstring> refused = {L"..\\out.dat", L"\\top.dat", L"C:\\e2e\\drive.dat",
                                             L"/slash.dat", L"sub\\..\\..\\up.dat"};
  std::vector<std::wstring> lines = {L"[SYSTEM]"};
  lines.insert(lines.end(), refused.begin(), refused.end());
  lines.push_back(L"ok.dat");
  WriteSettings(lines);
  // Sources where the joined paths lead, so that an unchecked copy succeeds.
  ASSERT_TRUE(WriteBytes(medium_ + L"\\out.dat", "out"));
  ASSERT_TRUE(WriteBytes(medium_ + L"\\up.dat", "up"));
  PutSource(L"top.dat", "top");
  PutSource(L"slash.dat", "slash");
  PutSource(L"ok.dat", "ok");
  WriteRecord(game_);
  StartUpdate();
  for (const std::wstring& entry : refused) ExpectRefused(entry);
  ExpectIncomplete(static_cast<int>(refused.size()));
  EXPECT_TRUE(Exists(Dest(L"ok.dat")));
  EXPECT_FALSE(Exists(root_ + L"\\out.dat"));
  EXPECT_FALSE(Exists(root_ + L"\\up.dat"));
  EXPECT_FALSE(Exists(game_ + L"\\top.dat"));
  EXPECT_FALSE(Exists(game_ + L"\\slash.dat"));
  EXPECT_FALSE(Exists(L"C:\\e2e\\drive.dat"));
  EXPECT_FALSE(Exists(L"C:\\top.dat"));
  EXPECT_FALSE(Exists(L"C:\\slash.dat"));
}

// Windows 7 to 10 open a device for such a name in any folder. A medium made
// on another system can hold the file; the updater refuses the entry before
// it opens anything, and goes on with the next.
TEST_F(SafetyTest, EntriesNamingADeviceAreRefused) {
  const std::vector<std::wstring> refused = {L"aux.txt", L"CON\\a.dat", L"nul.tar.gz"};
  std::vector<std::wstring> lines = {L"[SYSTEM]"};
  lines.insert(lines.end(), refused.begin(), refused.end());
  lines.push_back(L"ok.dat");
  WriteSettings(lines);
  PutSource(L"ok.dat", "ok");
  // Only a path with the \\?\ prefix reaches the files themselves.
  const std::wstring long_prefix = L"\\\\?\\";
  ASSERT_TRUE(WriteBytes(long_prefix + Source(L"aux.txt"), "aux"));
  ASSERT_TRUE(MakeFolders(long_prefix + Source(L"CON")));
  ASSERT_TRUE(WriteBytes(long_prefix + Source(L"CON\\a.dat"), "con"));
  ASSERT_TRUE(WriteBytes(long_prefix + Source(L"nul.tar.gz"), "nul"));
  WriteRecord(game_);
  StartUpdate();
  for (const std::wstring& entry : refused) ExpectRefused(entry);
  ExpectIncomplete(static_cast<int>(refused.size()));
  std::string bytes;
  EXPECT_TRUE(ReadBytes(Dest(L"ok.dat"), &bytes) && bytes == "ok");
  EXPECT_EQ(NamesIn(game_), std::vector<std::string>{"ok.dat"});
}

// A game folder of 245 characters and an entry in a folder of its own pass
// MAX_PATH together: the destination's folder is made and both files land,
// none through a cut path.
TEST_F(SafetyTest, LongGameFolderPastMaxPathTakesEveryFile) {
  game_ = root_ + L"\\" + std::wstring(245 - root_.size() - 1, L'g');
  ASSERT_EQ(game_.size(), 245u);
  ASSERT_TRUE(MakeFolders(game_));
  const std::wstring deep = L"abcdefghijklmno\\a.dat";
  WriteSettings({L"[SYSTEM]", deep, L"b.dat"});
  PutSource(deep, "A");
  PutSource(L"b.dat", "B");
  WriteRecord(game_);
  StartUpdate();
  ExpectCompletion();
  std::string bytes;
  EXPECT_TRUE(ReadBytes(Dest(deep), &bytes) && bytes == "A");
  EXPECT_TRUE(ReadBytes(Dest(L"b.dat"), &bytes) && bytes == "B");
  EXPECT_EQ(NamesIn(game_), (std::vector<std::string>{"abcdefghijklmno", "b.dat"}));
}

// A release's folder often has a dot in its name. It is the game folder,
// not a file in its parent: the files land in it and nothing beside it.
TEST_F(SafetyTest, GameFolderWithADotInItsNameTakesTheFiles) {
  const std::wstring parent = root_ + L"\\games";
  game_ = parent + L"\\game-1.00";
  ASSERT_TRUE(MakeFolders(game_));
  WriteSettings({L"[SYSTEM]", L"a.dat"});
  PutSource(L"a.dat", "A");
  WriteRecord(game_);
  StartUpdate();
  ExpectCompletion();
  std::string bytes;
  EXPECT_TRUE(ReadBytes(Dest(L"a.dat"), &bytes) && bytes == "A");
  EXPECT_EQ(NamesIn(parent), (std::vector<std::string>{"game-1.00"}));
}

}  // namespace
}  // namespace e2e
