// The identification before the copy, on a medium with update.sha256: its
// dialog, and what it leaves when the user closes it.
#include <algorithm>

#include "file_holder.h"
#include "scenario.h"
#include "snapshot.h"
#include "verify/hash_list.h"
#include "win/sha256.h"

namespace e2e {
namespace {

std::string HexSha256(const std::string& bytes) {
  Sha256 state;
  StartSha256(&state);
  AddToSha256(&state, bytes.data(), bytes.size());
  unsigned char digest[kSha256Size] = {};
  EXPECT_TRUE(FinishSha256(&state, digest));
  char hex[2 * kSha256Size + 1];
  FormatDigest(digest, hex);
  return hex;
}

// A game file of 256 MiB, a hole: hashing it takes more than a second
// under Wine, long enough to find its dialog amid it.
constexpr uint64_t kLargeGameFile = 256ull << 20;

class IdentifyTest : public UpdateRun {
 protected:
  // update.ini, the medium's files and update.sha256 over both.
  void Pack(const std::vector<std::pair<std::wstring, std::string>>& files) {
    std::vector<std::wstring> lines = {L"[SYSTEM]"};
    for (const auto& [entry, bytes] : files) lines.push_back(entry);
    WriteSettings(lines);
    std::string ini;
    ASSERT_TRUE(ReadBytes(medium_ + L"\\update.ini", &ini));
    std::string list = HexSha256(ini) + "  update.ini\n";
    for (const auto& [entry, bytes] : files) {
      PutSource(entry, bytes);
      std::string path = Utf8(L"GAME/" + entry);
      std::replace(path.begin(), path.end(), '\\', '/');
      list += HexSha256(bytes) + "  " + path + "\n";
    }
    ASSERT_TRUE(WriteBytes(medium_ + L"\\update.sha256", list));
  }
};

// Closed while a large game file is being read: the run ends with no box
// and the game folder as it was, not a byte of it written.
TEST_F(IdentifyTest, CloseBoxEndsTheRunWithNothingWritten) {
  Pack({{L"large.dat", "new large"}, {L"small.dat", "new small"}});
  ASSERT_TRUE(WriteBytes(Dest(L"small.dat"), "old small"));
  ASSERT_TRUE(WriteBytes(Dest(L"large.dat"), "old"));
  HANDLE file =
      CreateFileW(Dest(L"large.dat").c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(kLargeGameFile);
  ASSERT_TRUE(SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && SetEndOfFile(file));
  CloseHandle(file);
  const Snapshot before = TakeSnapshot(game_);
  WriteRecord(game_);

  StartUpdate();
  HWND dialog = WaitWindow(program_.pid, Kind::kIdentify, kWaitMs);
  ASSERT_TRUE(dialog) << DescribeWindows(program_.pid);
  int position = 0;
  int end = 0;
  // Amid the large file: the bar short of its end. A frozen program
  // answers no message, so the bar is read first; the dialog is still
  // there once it is frozen.
  EXPECT_TRUE(ReadProgress(dialog, &position, &end) && position < end) << position << " of " << end;
  ASSERT_TRUE(Freeze(program_));
  ASSERT_TRUE(IsWindow(dialog) && KindOf(dialog) == Kind::kIdentify);
  ASSERT_TRUE(PressCloseBox(dialog));
  ASSERT_TRUE(Thaw(program_));
  ExpectExitCode1();
  EXPECT_EQ(FindWindowOf(program_.pid, Kind::kCopy), nullptr);
  EXPECT_EQ(Differences(before, TakeSnapshot(game_)), std::vector<std::string>{});
}

// Every file the copy can take already holds its new bytes, but one entry
// names a device and is refused: that is no applied update. The copy runs,
// writes nothing, and reports the refused entry.
TEST_F(IdentifyTest, RefusedEntryIsNoAppliedUpdate) {
  Pack({{L"a.dat", "new a"}});
  WriteSettings({L"[SYSTEM]", L"a.dat", L"aux.txt"});
  std::string ini;
  ASSERT_TRUE(ReadBytes(medium_ + L"\\update.ini", &ini));
  // aux.txt is never read: any digest lists it.
  ASSERT_TRUE(WriteBytes(medium_ + L"\\update.sha256", HexSha256(ini) + "  update.ini\n" +
                                                           HexSha256("new a") + "  GAME/a.dat\n" +
                                                           HexSha256("") + "  GAME/aux.txt\n"));
  ASSERT_TRUE(WriteBytes(Dest(L"a.dat"), "new a"));
  const Snapshot before = TakeSnapshot(game_);
  WriteRecord(game_);
  StartUpdate();
  MessageBoxView box = AwaitMessage();
  EXPECT_EQ(Utf8(box.caption), Utf8(kCaptionCopyFailed)) << Utf8(box.text);
  Dismiss(box);
  ExpectIncomplete(1);
  EXPECT_EQ(Differences(before, TakeSnapshot(game_)), std::vector<std::string>{});
}

// The game still running: its program mapped from the game folder, a save
// held open. A second run on the updated game reads the program as a
// running game lets it be read, says the update is applied and changes
// nothing, before the checks that would find the game in use.
TEST_F(IdentifyTest, AppliedWhileTheGameRuns) {
  std::string program;
  ASSERT_TRUE(ReadBytes(FileHolder::HoldFileExe(), &program));
  Pack({{L"game.exe", program}, {L"data.dat", "data 1.01"}});
  ASSERT_TRUE(WriteBytes(Dest(L"game.exe"), program));
  ASSERT_TRUE(WriteBytes(Dest(L"data.dat"), "data 1.01"));
  ASSERT_TRUE(WriteBytes(Dest(L"save.dat"), "a save"));
  const Snapshot before = TakeSnapshot(game_);
  FileHolder game;
  ASSERT_TRUE(game.Hold(Dest(L"save.dat"), Dest(L"game.exe")));
  WriteRecord(game_);
  StartUpdate();
  MessageBoxView box = AwaitMessage();
  EXPECT_EQ(Utf8(box.text), Utf8(L"このＵＰＤＡＴＥはすでに適用されています。"));
  EXPECT_EQ(Utf8(box.caption), Utf8(UpdateCaption(title_)));
  Dismiss(box);
  ExpectExitCode1();
  EXPECT_TRUE(game.Release()) << "the game ran until the update ended";
  EXPECT_EQ(Differences(before, TakeSnapshot(game_)), std::vector<std::string>{});
}

// Wine's Restart Manager names no program: the text falls back to the game.
const wchar_t kGameExeInUse[] =
    L"次のファイルが使用中のため更新できません。\ngame.exe\n"
    L"ゲームを終了してから「再試行」を押してください。";

// A game file that another program holds without sharing cannot be read:
// it is named as in use, before the copy, with Retry and Cancel.
class HeldFileTest : public IdentifyTest {
 protected:
  void HoldAndStart() {
    Pack({{L"game.exe", "game 1.01"}, {L"data.dat", "data 1.01"}});
    ASSERT_TRUE(WriteBytes(Dest(L"game.exe"), "game 1.00"));
    ASSERT_TRUE(WriteBytes(Dest(L"data.dat"), "data 1.00"));
    before_ = TakeSnapshot(game_);
    WriteRecord(game_);
    ASSERT_TRUE(holder_.Hold(Dest(L"game.exe")));
    StartUpdate();
  }

  MessageBoxView ExpectInUse() {
    MessageBoxView box = AwaitMessage();
    EXPECT_EQ(Utf8(box.text), Utf8(kGameExeInUse));
    EXPECT_EQ(Utf8(box.caption), Utf8(kCaptionFailed));
    EXPECT_TRUE(box.owner != nullptr && KindOf(box.owner) == Kind::kIdentify);
    return box;
  }

  Snapshot before_;
  FileHolder holder_;
};

TEST_F(HeldFileTest, CancelEndsTheRunWithNothingWritten) {
  HoldAndStart();
  MessageBoxView box = ExpectInUse();
  ASSERT_TRUE(PostCommand(box.window, IDCANCEL));
  ExpectExitCode1();
  EXPECT_TRUE(holder_.Release());
  EXPECT_EQ(Differences(before_, TakeSnapshot(game_)), std::vector<std::string>{});
}

// Retry while it is held asks again; once it is let go, the game is read
// again from the start and updated.
TEST_F(HeldFileTest, RetryOnceLetGoUpdates) {
  HoldAndStart();
  MessageBoxView box = ExpectInUse();
  ASSERT_TRUE(PostCommand(box.window, IDRETRY));
  ASSERT_TRUE(WaitGone(box.window, kWaitMs));
  box = ExpectInUse();
  EXPECT_TRUE(holder_.Release());
  ASSERT_TRUE(PostCommand(box.window, IDRETRY));
  ASSERT_TRUE(WaitGone(box.window, kWaitMs));
  ExpectCompletion();
  std::string bytes;
  EXPECT_TRUE(ReadBytes(Dest(L"game.exe"), &bytes) && bytes == "game 1.01");
  EXPECT_TRUE(ReadBytes(Dest(L"data.dat"), &bytes) && bytes == "data 1.01");
}

}  // namespace
}  // namespace e2e
