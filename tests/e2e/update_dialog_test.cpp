// The UPDATE dialog: what it shows, what it takes, and the folder browser.
#include "scenario.h"
#include "snapshot.h"

namespace e2e {
namespace {

class UpdateDialogTest : public UpdateRun {
 protected:
  void SetUp() override {
    UpdateRun::SetUp();
    WriteSettings({L"[SYSTEM]", L"a.dat"});
    PutSource(L"a.dat", "A");
  }
};

TEST_F(UpdateDialogTest, ShowsCaptionTemplateTextsAndRecordVerbatim) {
  // A recorded folder in a form the dialog would normalise on Start.
  std::wstring recorded = root_ + L"\\\\game\\";
  WriteRecord(recorded);
  Launch();
  HWND dialog = AwaitUpdate();
  ASSERT_TRUE(dialog);
  EXPECT_EQ(Utf8(WindowText(dialog)), Utf8(UpdateCaption(title_)));
  EXPECT_EQ(Utf8(ItemText(dialog, 1001)), Utf8(recorded));
  EXPECT_EQ(Utf8(ItemText(dialog, 1000)), Utf8(L"フォルダ変更"));
  EXPECT_EQ(Utf8(ItemText(dialog, IDOK)), Utf8(L"開始"));
  EXPECT_EQ(Utf8(ItemText(dialog, IDCANCEL)), Utf8(L"やめる"));
  EXPECT_EQ(GetWindowLongW(dialog, GWL_STYLE) & WS_SYSMENU, 0) << "no close box";
  ASSERT_TRUE(PostCommand(dialog, IDOK));
  ExpectCompletion();
  EXPECT_TRUE(Exists(Dest(L"a.dat")));
}

// A game folder whose last character is 表 (0x95 0x5C): its second byte is
// no backslash, so nothing may be cut from it.
TEST_F(UpdateDialogTest, JapaneseGameFolderShownAndUsedWhole) {
  game_ = root_ + L"\\ゲーム\\代表";
  ASSERT_TRUE(MakeFolders(game_));
  WriteRecord(game_);
  Launch();
  HWND dialog = AwaitUpdate();
  ASSERT_TRUE(dialog);
  EXPECT_EQ(Utf8(ItemText(dialog, 1001)), Utf8(game_));
  ASSERT_TRUE(PostCommand(dialog, IDOK));
  ExpectCompletion();
  std::string bytes;
  EXPECT_TRUE(ReadBytes(Dest(L"a.dat"), &bytes) && bytes == "A");
}

struct TypedCase {
  const char* name;
  const wchar_t* suffix;  // typed after the test's root folder
};

class TypedPathTest : public UpdateDialogTest, public ::testing::WithParamInterface<TypedCase> {};

// The typed folder is normalised before use: the files land in the game
// folder itself. The game's program is there, as the installer left it:
// typed, its name is dropped.
TEST_P(TypedPathTest, FilesLandInNormalisedFolder) {
  ASSERT_TRUE(WriteBytes(game_ + L"\\game.exe", "program"));
  WriteRecord(root_ + L"\\elsewhere");
  Launch();
  HWND dialog = AwaitUpdate();
  ASSERT_TRUE(dialog);
  ASSERT_TRUE(SetItemText(dialog, 1001, root_ + GetParam().suffix));
  ASSERT_TRUE(PostCommand(dialog, IDOK));
  ExpectCompletion();
  std::string bytes;
  EXPECT_TRUE(ReadBytes(Dest(L"a.dat"), &bytes) && bytes == "A");
}

INSTANTIATE_TEST_SUITE_P(Typed, TypedPathTest,
                         ::testing::Values(TypedCase{"TrailingBackslash", L"\\game\\"},
                                           TypedCase{"DoubledBackslashes", L"\\\\game\\\\\\"},
                                           TypedCase{"FileInsideFolder", L"\\game\\game.exe"}),
                         [](const ::testing::TestParamInfo<TypedCase>& info) {
                           return info.param.name;
                         });

// More than the 1023 bytes that the dialog takes, in two-byte characters: the
// text is cut at a character boundary and the run goes on to its check.
TEST_F(UpdateDialogTest, OverlongTypedTextIsCutAndReportedMissing) {
  WriteRecord(game_);
  Launch();
  HWND dialog = AwaitUpdate();
  ASSERT_TRUE(dialog);
  ASSERT_TRUE(SetItemText(dialog, 1001, game_ + L"\\" + std::wstring(700, L'長')));
  ASSERT_TRUE(PostCommand(dialog, IDOK));
  MessageBoxView box = AwaitMessage();
  EXPECT_EQ(Utf8(box.text), Utf8(kTextFolderMissing));
  EXPECT_EQ(Utf8(box.caption), Utf8(kCaptionFailed));
  Dismiss(box);
  ExpectExitCode1();
  EXPECT_FALSE(Exists(Dest(L"a.dat")));
}

TEST_F(UpdateDialogTest, BrowserCancelledKeepsTypedText) {
  WriteRecord(game_);
  Launch();
  HWND dialog = AwaitUpdate();
  ASSERT_TRUE(dialog);
  ASSERT_TRUE(SetItemText(dialog, 1001, L"typed by hand"));
  ASSERT_TRUE(PostCommand(dialog, 1000));
  HWND browser = WaitWindow(program_.pid, Kind::kBrowser, kWaitMs);
  ASSERT_TRUE(browser) << DescribeWindows(program_.pid);
  ASSERT_TRUE(PostCommand(browser, IDCANCEL));
  ASSERT_TRUE(WaitGone(browser, kWaitMs));
  EXPECT_EQ(Utf8(ItemText(dialog, 1001)), "typed by hand");
  ASSERT_TRUE(PostCommand(dialog, IDCANCEL));
  ExpectExitCode1();
  EXPECT_FALSE(Exists(Dest(L"a.dat")));
}

TEST_F(UpdateDialogTest, BrowserPickReplacesTypedTextAndIsUsed) {
  std::wstring picked = root_ + L"\\選んだ";
  ASSERT_TRUE(MakeFolders(picked));
  WriteRecord(game_);
  Launch();
  HWND dialog = AwaitUpdate();
  ASSERT_TRUE(dialog);
  ASSERT_TRUE(SetItemText(dialog, 1001, L"typed by hand"));
  ASSERT_NO_FATAL_FAILURE(PickInBrowser(dialog, picked));
  EXPECT_EQ(Utf8(ItemText(dialog, 1001)), Utf8(picked));
  ASSERT_TRUE(PostCommand(dialog, IDOK));
  ExpectCompletion();
  EXPECT_TRUE(Exists(picked + L"\\a.dat"));
  EXPECT_FALSE(Exists(Dest(L"a.dat")));
}

// My Computer has no file-system path: the pick leaves the empty text, never
// the stale typed text, and Start then finds no folder.
TEST_F(UpdateDialogTest, BrowserPickWithoutFileSystemPath) {
  WriteRecord(game_);
  Launch();
  HWND dialog = AwaitUpdate();
  ASSERT_TRUE(dialog);
  ASSERT_TRUE(SetItemText(dialog, 1001, L"typed by hand"));
  ASSERT_TRUE(PostCommand(dialog, 1000));
  HWND browser = WaitWindow(program_.pid, Kind::kBrowser, kWaitMs);
  ASSERT_TRUE(browser) << DescribeWindows(program_.pid);
  ASSERT_TRUE(BrowserSelectUntilShown(browser, game_, kWaitMs)) << DescribeWindows(program_.pid);
  PIDLIST_ABSOLUTE computer = nullptr;
  ASSERT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &computer), S_OK);
  bool sent = BrowserSelectItem(browser, computer);
  CoTaskMemFree(computer);
  ASSERT_TRUE(sent);
  ASSERT_TRUE(PressOk(browser));
  ASSERT_TRUE(WaitGone(browser, kWaitMs));
  EXPECT_EQ(Utf8(ItemText(dialog, 1001)), "");
  ASSERT_TRUE(PostCommand(dialog, IDOK));
  MessageBoxView box = AwaitMessage();
  EXPECT_EQ(Utf8(box.text), Utf8(kTextFolderMissing));
  EXPECT_EQ(Utf8(box.caption), Utf8(kCaptionFailed));
  Dismiss(box);
  ExpectExitCode1();
  EXPECT_FALSE(Exists(Dest(L"a.dat")));
}

// A game folder whose name code page 932 cannot spell, however it was given.
// Spelled with look-alikes it would name another folder (gamé the test's
// game folder, game¥old the folder old inside it), which must not be
// touched either.
enum class Given { kRecorded, kTyped, kPicked };

struct UnspellableCase {
  const char* name;
  Given given;
  const wchar_t* folder;  // below the test's root
  const wchar_t* shown;   // as the box names it
};

void PrintTo(const UnspellableCase& c, std::ostream* os) {
  *os << c.name;
}

const wchar_t kTextFolderUnspellable[] =
    L"ゲームフォルダの名前に、このＵＰＤＡＴＥでは扱えない文字が含まれています。";

class UnspellableFolderTest : public UpdateDialogTest,
                              public ::testing::WithParamInterface<UnspellableCase> {};

TEST_P(UnspellableFolderTest, RefusedAtTheFolderTestWithNothingWritten) {
  const UnspellableCase& c = GetParam();
  const std::wstring folder = root_ + L"\\" + c.folder;
  ASSERT_TRUE(MakeFolders(folder));
  ASSERT_TRUE(MakeFolders(game_ + L"\\old"));
  ASSERT_TRUE(WriteBytes(folder + L"\\a.dat", "old A"));
  ASSERT_TRUE(WriteBytes(Dest(L"a.dat"), "old A"));
  ASSERT_TRUE(WriteBytes(Dest(L"old\\a.dat"), "old A"));
  WriteRecord(c.given == Given::kRecorded ? folder : game_);
  const Snapshot before = TakeSnapshot(root_);
  Launch();
  HWND dialog = AwaitUpdate();
  ASSERT_TRUE(dialog);
  if (c.given == Given::kTyped) {
    ASSERT_TRUE(SetItemText(dialog, 1001, folder));
  }
  if (c.given == Given::kPicked) {
    ASSERT_NO_FATAL_FAILURE(PickInBrowser(dialog, folder));
  }
  ASSERT_TRUE(PostCommand(dialog, IDOK));
  MessageBoxView box = AwaitMessage();
  EXPECT_EQ(Utf8(box.text),
            Utf8(std::wstring(kTextFolderUnspellable) + L"\n" + root_ + L"\\" + c.shown));
  EXPECT_EQ(Utf8(box.caption), Utf8(kCaptionFailed));
  EXPECT_EQ(box.owner, nullptr);
  Dismiss(box);
  ExpectExitCode1();
  for (const std::string& change : Differences(before, TakeSnapshot(root_)))
    ADD_FAILURE() << "changed: " << change;
}

INSTANTIATE_TEST_SUITE_P(
    Names, UnspellableFolderTest,
    ::testing::Values(UnspellableCase{"Recorded", Given::kRecorded, L"gamé", L"gam?"},
                      UnspellableCase{"RecordedYenSign", Given::kRecorded, L"game¥old",
                                      L"game?old"},
                      UnspellableCase{"Typed", Given::kTyped, L"game¥old", L"game?old"},
                      UnspellableCase{"Picked", Given::kPicked, L"gamé", L"gam?"}),
    [](const ::testing::TestParamInfo<UnspellableCase>& info) { return info.param.name; });

// The note belongs to the text it came with: a folder typed over an
// unspellable record is judged on its own and used.
TEST_F(UpdateDialogTest, FolderTypedOverUnspellableRecordIsUsed) {
  ASSERT_TRUE(MakeFolders(root_ + L"\\gamé"));
  WriteRecord(root_ + L"\\gamé");
  Launch();
  HWND dialog = AwaitUpdate();
  ASSERT_TRUE(dialog);
  EXPECT_EQ(Utf8(ItemText(dialog, 1001)), Utf8(root_ + L"\\gam?"));
  ASSERT_TRUE(SetItemText(dialog, 1001, game_));
  ASSERT_TRUE(PostCommand(dialog, IDOK));
  ExpectCompletion();
  std::string bytes;
  EXPECT_TRUE(ReadBytes(Dest(L"a.dat"), &bytes) && bytes == "A");
}

}  // namespace
}  // namespace e2e
