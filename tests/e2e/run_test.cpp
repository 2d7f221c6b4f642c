// The update run's paths from start to end: each state with its message.
#include "scenario.h"

namespace e2e {
namespace {

class RunTest : public UpdateRun {};

// How the install record looks when the run must report the game as not
// installed.
enum class Record { kNoKey, kNoValues, kOtherCaseName, kEmptyGamePath, kOnlyOtherValues };

struct NotInstalledCase {
  const char* name;
  Record record;
};

class NotInstalledTest : public UpdateRun,
                         public ::testing::WithParamInterface<NotInstalledCase> {};

TEST_P(NotInstalledTest, NamesOldTitleBeforeAnyDialog) {
  WriteSettings({L"[SYSTEM]", L"a.dat"});
  PutSource(L"a.dat", "A");
  const DWORD one = 1;
  switch (GetParam().record) {
    case Record::kNoKey:
      break;
    case Record::kNoValues: {
      HKEY key = nullptr;
      ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, RecordKey().c_str(), 0, nullptr, 0,
                                KEY_ALL_ACCESS, nullptr, &key, nullptr),
                ERROR_SUCCESS);
      RegCloseKey(key);
      break;
    }
    case Record::kOtherCaseName: {
      std::wstring path = game_;
      WriteRecordValue(L"GamePath", REG_SZ, path.c_str(),
                       static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
      break;
    }
    case Record::kEmptyGamePath:
      WriteRecord(L"");
      break;
    case Record::kOnlyOtherValues:
      WriteRecordValue(L"INSTFLAG", REG_DWORD, &one, sizeof one);
      WriteRecordValue(L"CDPATH", REG_SZ, medium_.c_str(),
                       static_cast<DWORD>((medium_.size() + 1) * sizeof(wchar_t)));
      break;
  }
  Launch();
  MessageBoxView box = AwaitMessage();
  EXPECT_EQ(Utf8(box.text), Utf8(NotInstalledText(title_old_)));
  EXPECT_EQ(Utf8(box.caption), Utf8(kCaptionFailed));
  EXPECT_EQ(box.owner, nullptr);
  EXPECT_EQ(FindWindowOf(program_.pid, Kind::kUpdate), nullptr);
  Dismiss(box);
  ExpectExitCode1();
  std::wstring game_path;
  DWORD values = 0;
  EXPECT_TRUE(ReadRecord(&game_path, &values)) << "the key exists afterwards";
  if (GetParam().record == Record::kNoKey) {
    EXPECT_EQ(values, 0u);
  }
  EXPECT_FALSE(Exists(Dest(L"a.dat")));
}

INSTANTIATE_TEST_SUITE_P(
    Record, NotInstalledTest,
    ::testing::Values(NotInstalledCase{"NoKey", Record::kNoKey},
                      NotInstalledCase{"NoValues", Record::kNoValues},
                      NotInstalledCase{"OtherCaseName", Record::kOtherCaseName},
                      NotInstalledCase{"EmptyGamePath", Record::kEmptyGamePath},
                      NotInstalledCase{"OnlyOtherValues", Record::kOnlyOtherValues}),
    [](const ::testing::TestParamInfo<NotInstalledCase>& info) { return info.param.name; });

// Without update.ini every default holds: the default key and title.
TEST_F(RunTest, NoSettingsFileNamesDefaultTitle) {
  reg_t_ = L"GAME";
  DeleteRecord();
  Launch();
  MessageBoxView box = AwaitMessage();
  EXPECT_EQ(Utf8(box.text), Utf8(NotInstalledText(L"Titleだよ")));
  EXPECT_EQ(Utf8(box.caption), Utf8(kCaptionFailed));
  Dismiss(box);
  ExpectExitCode1();
}

TEST_F(RunTest, CompleteCopiesSelectedFilesAndNamesTitle) {
  WriteSettings({L"readme.txt", L"[SYSTEM]", L"game.exe", L"[DATA]", L"data\\new\\bg.pak",
                 L"データ\\絵.dat", L"[]", L"notes.txt"});
  PutSource(L"readme.txt", "readme");
  PutSource(L"game.exe", "new game");
  PutSource(L"data\\new\\bg.pak", "background");
  PutSource(L"データ\\絵.dat", "picture");
  PutSource(L"notes.txt", "notes");
  ASSERT_TRUE(MakeFolders(Dest(L"data")));
  ASSERT_TRUE(MakeFolders(Dest(L"データ")));
  ASSERT_TRUE(WriteBytes(Dest(L"game.exe"), "old game, longer than the new one"));
  WriteRecord(game_);
  StartUpdate();
  ExpectCompletion();
  std::string bytes;
  EXPECT_TRUE(ReadBytes(Dest(L"game.exe"), &bytes) && bytes == "new game") << bytes;
  EXPECT_TRUE(ReadBytes(Dest(L"data\\new\\bg.pak"), &bytes) && bytes == "background");
  EXPECT_TRUE(ReadBytes(Dest(L"データ\\絵.dat"), &bytes) && bytes == "picture");
  // Listed before any type, or after [], is never selected.
  EXPECT_FALSE(Exists(Dest(L"readme.txt")));
  EXPECT_FALSE(Exists(Dest(L"notes.txt")));
  std::wstring game_path;
  DWORD values = 0;
  ASSERT_TRUE(ReadRecord(&game_path, &values));
  EXPECT_EQ(Utf8(game_path), Utf8(game_)) << "the install record is only read";
  EXPECT_EQ(values, 1u);
}

TEST_F(RunTest, FolderMissingIsReportedAndNotCreated) {
  WriteSettings({L"[SYSTEM]", L"a.dat"});
  PutSource(L"a.dat", "A");
  std::wstring gone = root_ + L"\\deleted";
  WriteRecord(gone);
  Launch();
  HWND dialog = AwaitUpdate();
  ASSERT_TRUE(dialog);
  EXPECT_EQ(Utf8(ItemText(dialog, 1001)), Utf8(gone));
  ASSERT_TRUE(PostCommand(dialog, IDOK));
  MessageBoxView box = AwaitMessage();
  EXPECT_EQ(Utf8(box.text), Utf8(kTextFolderMissing));
  EXPECT_EQ(Utf8(box.caption), Utf8(kCaptionFailed));
  EXPECT_EQ(box.owner, nullptr);
  Dismiss(box);
  ExpectExitCode1();
  EXPECT_FALSE(Exists(gone));
}

TEST_F(RunTest, FileInPlaceOfFolderIsReported) {
  WriteSettings({L"[SYSTEM]", L"a.dat"});
  PutSource(L"a.dat", "A");
  // No extension: a name with one would be taken for a file inside the folder.
  std::wstring file = root_ + L"\\gamefile";
  ASSERT_TRUE(WriteBytes(file, "not a folder"));
  WriteRecord(file);
  StartUpdate();
  MessageBoxView box = AwaitMessage();
  EXPECT_EQ(Utf8(box.text), Utf8(kTextNotAFolder));
  EXPECT_EQ(Utf8(box.caption), Utf8(kCaptionFolderName));
  EXPECT_EQ(box.owner, nullptr);
  Dismiss(box);
  ExpectExitCode1();
  std::string bytes;
  EXPECT_TRUE(ReadBytes(file, &bytes) && bytes == "not a folder");
}

TEST_F(RunTest, EmptyEditBoxReportsFolderMissing) {
  WriteSettings({L"[SYSTEM]", L"a.dat"});
  PutSource(L"a.dat", "A");
  WriteRecord(game_);
  Launch();
  HWND dialog = AwaitUpdate();
  ASSERT_TRUE(dialog);
  ASSERT_TRUE(SetItemText(dialog, 1001, L""));
  ASSERT_TRUE(PostCommand(dialog, IDOK));
  MessageBoxView box = AwaitMessage();
  EXPECT_EQ(Utf8(box.text), Utf8(kTextFolderMissing));
  EXPECT_EQ(Utf8(box.caption), Utf8(kCaptionFailed));
  Dismiss(box);
  ExpectExitCode1();
  EXPECT_FALSE(Exists(Dest(L"a.dat")));
}

// Cancel in UPDATE ends the run without a message, by button or by key.
class CancelTest : public UpdateRun, public ::testing::WithParamInterface<bool> {};

TEST_P(CancelTest, EndsSilently) {
  WriteSettings({L"[SYSTEM]", L"a.dat"});
  PutSource(L"a.dat", "A");
  WriteRecord(game_);
  Launch();
  HWND dialog = AwaitUpdate();
  ASSERT_TRUE(dialog);
  if (GetParam()) {
    ASSERT_TRUE(PressKey(GetDlgItem(dialog, 1001), VK_ESCAPE));
  } else {
    ASSERT_TRUE(PostCommand(dialog, IDCANCEL));
  }
  ExpectExitCode1();
  EXPECT_FALSE(Exists(Dest(L"a.dat")));
}

INSTANTIATE_TEST_SUITE_P(Way, CancelTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return std::string(info.param ? "EscapeKey" : "CancelButton");
                         });

TEST_F(RunTest, EnterKeyStarts) {
  WriteSettings({L"[SYSTEM]", L"a.dat"});
  PutSource(L"a.dat", "A");
  WriteRecord(game_);
  Launch();
  HWND dialog = AwaitUpdate();
  ASSERT_TRUE(dialog);
  ASSERT_TRUE(PressKey(GetDlgItem(dialog, 1001), VK_RETURN));
  ExpectCompletion();
  EXPECT_TRUE(Exists(Dest(L"a.dat")));
}

}  // namespace
}  // namespace e2e
