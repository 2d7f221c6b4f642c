// The FILECOPY dialog: failures, attributes, closing.
#include "scenario.h"

namespace e2e {
namespace {

class CopyTest : public UpdateRun {
 protected:
  // Waits for a copy-failure box for entry, checks it and presses OK.
  void ExpectCopyFailure(const std::wstring& entry) {
    MessageBoxView box = AwaitMessage();
    EXPECT_EQ(Utf8(box.text), Utf8(CopyFailedText(Source(entry), Dest(entry))));
    EXPECT_EQ(Utf8(box.caption), Utf8(kCaptionCopyFailed));
    HWND copy = FindWindowOf(program_.pid, Kind::kCopy);
    EXPECT_TRUE(copy != nullptr && box.owner == copy) << "owned by FILECOPY";
    Dismiss(box);
  }
};

TEST_F(CopyTest, EmptySelectionCompletesWithoutCopying) {
  WriteSettings({L"untyped.dat", L"[SYSTEM]", L"[]", L"cleared.dat"});
  PutSource(L"untyped.dat", "U");
  PutSource(L"cleared.dat", "C");
  WriteRecord(game_);
  StartUpdate();
  ExpectCompletion();
  EXPECT_FALSE(Exists(Dest(L"untyped.dat")));
  EXPECT_FALSE(Exists(Dest(L"cleared.dat")));
}

// Enter in a dialog without buttons still reaches it as IDOK. Pressed while
// files are still to come, it must not end the update as complete. The key
// is pressed while update.exe is frozen with the last two files still to
// come: the last one's copy takes it in at the latest.
TEST_F(CopyTest, EnterKeyDuringTheCopyEndsNothing) {
  std::vector<std::wstring> lines = {L"[SYSTEM]"};
  const int kFiles = 200;
  for (int i = 0; i < kFiles; ++i) {
    std::wstring entry = L"f" + std::to_wstring(i) + L".dat";
    lines.push_back(entry);
    PutSource(entry, "F");
  }
  WriteSettings(lines);
  WriteRecord(game_);
  const std::wstring second_last = L"f" + std::to_wstring(kFiles - 2) + L".dat";
  HWND copy = StartAndFreezeAmidCopy([&] { return Exists(Dest(L"f0.dat")); },
                                     [&] { return !Exists(Dest(second_last)); },
                                     [&] {
                                       for (size_t i = 1; i < lines.size(); ++i)
                                         DeleteFileW(Dest(lines[i]).c_str());
                                     });
  ASSERT_TRUE(copy);
  ASSERT_TRUE(PressKey(copy, VK_RETURN));
  ASSERT_TRUE(Thaw(program_));
  ExpectCompletion();
  for (size_t i = 1; i < lines.size(); ++i) EXPECT_TRUE(Exists(Dest(lines[i]))) << Utf8(lines[i]);
}

// Copies that killed runs left in the folders of the listed entries go at
// the start of the copy, whichever entry they belonged to; other files and
// folders of other entries stay.
TEST_F(CopyTest, LeftoverTemporaryCopiesInTheEntriesFoldersGo) {
  WriteSettings({L"[SYSTEM]", L"game.exe", L"data\\a.dat"});
  PutSource(L"game.exe", "new game");
  PutSource(L"data\\a.dat", "new a");
  ASSERT_TRUE(MakeFolders(Dest(L"data")));
  ASSERT_TRUE(MakeFolders(Dest(L"save")));
  const std::wstring gone[] = {Dest(L"old.dll") + kTempSuffix, Dest(L"data\\b.dat") + kTempSuffix};
  const std::wstring kept[] = {Dest(L"save\\c.dat") + kTempSuffix, Dest(L"data\\b.dat")};
  for (const std::wstring& path : gone) ASSERT_TRUE(WriteBytes(path, "partial"));
  for (const std::wstring& path : kept) ASSERT_TRUE(WriteBytes(path, "keep"));
  WriteRecord(game_);
  StartUpdate();
  ExpectCompletion();
  for (const std::wstring& path : gone) EXPECT_FALSE(Exists(path)) << Utf8(path);
  for (const std::wstring& path : kept) EXPECT_TRUE(Exists(path)) << Utf8(path);
}

// A file line longer than an entry holds is left out of the list, never cut
// to name another file; the update copies the rest and says that one file
// was not copied instead of calling itself complete.
TEST_F(CopyTest, LineLongerThanAnEntryCountsAsNotCopied) {
  WriteSettings({L"[SYSTEM]", std::wstring(260, L'x') + L".dat", L"a.dat"});
  PutSource(L"a.dat", "new A");
  WriteRecord(game_);
  StartUpdate();
  ExpectIncomplete(1);
  std::string bytes;
  ASSERT_TRUE(ReadBytes(Dest(L"a.dat"), &bytes));
  EXPECT_EQ(bytes, "new A");
}

// Every destination is a folder, which no copy replaces and the checks before
// the copy do not stop at.
TEST_F(CopyTest, EveryCopyFailingShowsOneBoxEachThenTheCount) {
  const std::vector<std::wstring> entries = {L"one.dat", L"sub\\two.dat", L"三.dat"};
  WriteSettings({L"[SYSTEM]", entries[0], entries[1], L"[DATA]", entries[2]});
  for (const std::wstring& entry : entries) {
    PutSource(entry, "new");
    ASSERT_TRUE(MakeFolders(Dest(entry)));
  }
  WriteRecord(game_);
  StartUpdate();
  for (const std::wstring& entry : entries) ExpectCopyFailure(entry);
  ExpectIncomplete(3);
  for (const std::wstring& entry : entries)
    EXPECT_NE(Attributes(Dest(entry)) & FILE_ATTRIBUTE_DIRECTORY, 0u) << Utf8(entry);
}

TEST_F(CopyTest, CopyOfReadOnlySourceIsWritable) {
  WriteSettings({L"[SYSTEM]", L"a.dat"});
  PutSource(L"a.dat", "A");
  ASSERT_TRUE(SetFileAttributesW(Source(L"a.dat").c_str(), FILE_ATTRIBUTE_READONLY));
  WriteRecord(game_);
  StartUpdate();
  ExpectCompletion();
  DWORD attributes = Attributes(Dest(L"a.dat"));
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(attributes & FILE_ATTRIBUTE_READONLY, 0u);
}

// A read-only file in the game folder cannot be replaced: the failure is
// reported, and the bit is cleared so that the next update can replace it.
TEST_F(CopyTest, ReadOnlyDestinationFailsThenLosesReadOnly) {
  WriteSettings({L"[SYSTEM]", L"a.dat", L"b.dat"});
  PutSource(L"a.dat", "new A");
  PutSource(L"b.dat", "B");
  ASSERT_TRUE(WriteBytes(Dest(L"a.dat"), "old A"));
  ASSERT_TRUE(SetFileAttributesW(Dest(L"a.dat").c_str(), FILE_ATTRIBUTE_READONLY));
  // No other program holds it: the checks before the copy would stop at a
  // file in use. The updater refuses a read-only file itself, also where
  // Wine as root would replace it.
  WriteRecord(game_);
  StartUpdate();
  MessageBoxView box = AwaitMessage();
  EXPECT_EQ(Utf8(box.text), Utf8(CopyFailedText(Source(L"a.dat"), Dest(L"a.dat"))));
  EXPECT_EQ(Utf8(box.caption), Utf8(kCaptionCopyFailed));
  Dismiss(box);
  ExpectIncomplete(1);
  std::string bytes;
  EXPECT_TRUE(ReadBytes(Dest(L"a.dat"), &bytes) && bytes == "old A") << bytes;
  EXPECT_EQ(Attributes(Dest(L"a.dat")) & FILE_ATTRIBUTE_READONLY, 0u);
  EXPECT_TRUE(Exists(Dest(L"b.dat")));
}

// The close box pressed while update.exe is frozen with the last two files
// still to come, so that it lands amid the list.
TEST_F(CopyTest, CloseBoxMidRunEndsWithoutMessage) {
  std::vector<std::wstring> lines = {L"[SYSTEM]"};
  const int kFiles = 200;
  for (int i = 0; i < kFiles; ++i) {
    std::wstring entry = L"f" + std::to_wstring(100 + i) + L".dat";
    lines.push_back(entry);
    PutSource(entry, "x");
  }
  WriteSettings(lines);
  WriteRecord(game_);
  const std::wstring second_last = L"f" + std::to_wstring(100 + kFiles - 2) + L".dat";
  // The first file is in place, not only shown: a close that comes while it
  // is on its way stops it too.
  HWND copy = StartAndFreezeAmidCopy([&] { return Exists(Dest(L"f100.dat")); },
                                     [&] { return !Exists(Dest(second_last)); },
                                     [&] {
                                       for (size_t i = 1; i < lines.size(); ++i)
                                         DeleteFileW(Dest(lines[i]).c_str());
                                     });
  ASSERT_TRUE(copy);
  // Nothing that waits for an answer while it is frozen: the caption of
  // another program's window is read without a message.
  wchar_t caption[64] = L"";
  GetWindowTextW(copy, caption, 64);
  EXPECT_EQ(Utf8(caption), Utf8(L"UPDATE中です・・・"));
  ASSERT_TRUE(PressCloseBox(copy));
  ASSERT_TRUE(Thaw(program_));
  // A message box would keep the program from ending.
  ExpectExitCode1();
  int copied = 0;
  for (int i = 0; i < kFiles; ++i) {
    copied += Exists(Dest(L"f" + std::to_wstring(100 + i) + L".dat")) ? 1 : 0;
  }
  EXPECT_GT(copied, 0);
  EXPECT_LT(copied, kFiles) << "the close took effect before the end of the list";
}

// blocked.dat's destination is a folder: its copy fails with a box.
TEST_F(CopyTest, OpenFailureBoxStartsNoSecondStep) {
  WriteSettings({L"[SYSTEM]", L"blocked.dat", L"b.dat"});
  PutSource(L"blocked.dat", "new");
  ASSERT_TRUE(MakeFolders(Dest(L"blocked.dat")));
  PutSource(L"b.dat", "B");
  WriteRecord(game_);
  StartUpdate();
  MessageBoxView box = AwaitMessage();
  HWND copy = FindWindowOf(program_.pid, Kind::kCopy);
  ASSERT_TRUE(copy);
  const std::wstring status = StatusText(Source(L"blocked.dat"), Dest(L"blocked.dat"));
  EXPECT_EQ(Utf8(ItemText(copy, 1009)), Utf8(status));
  // Dozens of timer ticks pass while the box stays open, and a posted step
  // may wait among them.
  bool moved_on =
      WaitUntil([&] { return Exists(Dest(L"b.dat")) || ItemText(copy, 1009) != status; }, 800);
  EXPECT_FALSE(moved_on) << "a second step ran while the failure box was open";
  EXPECT_EQ(Utf8(box.text), Utf8(CopyFailedText(Source(L"blocked.dat"), Dest(L"blocked.dat"))));
  Dismiss(box);
  ExpectIncomplete(1);
  EXPECT_TRUE(Exists(Dest(L"b.dat")));
}

}  // namespace
}  // namespace e2e
