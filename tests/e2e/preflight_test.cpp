// The checks before the copy: a missing source, a game folder that cannot be
// written, too little free space, a file in use, and a medium taken away
// mid-way. Each must say why once and, before the copy, change nothing. Run
// by scripts/wine/run-preflight.sh, which as root provides a folder that
// cannot be written and a small drive.
#include <string>
#include <vector>

#include "file_holder.h"
#include "scenario.h"
#include "snapshot.h"

namespace e2e {
namespace {

// Set by run-preflight.sh: a folder made immutable (chattr +i), and a Wine
// drive (such as G:) on a tmpfs of 8 MB; or why it could not make them.
constexpr wchar_t kLockedFolderVariable[] = L"PREFLIGHT_LOCKED_FOLDER";
constexpr wchar_t kSmallDriveVariable[] = L"PREFLIGHT_SMALL_DRIVE";
constexpr wchar_t kNoRootReasonVariable[] = L"PREFLIGHT_NO_ROOT_REASON";

const wchar_t kTextMediumLost[] = L"ＵＰＤＡＴＥデータが読めなくなりました。";

std::wstring GetEnv(const wchar_t* name) {
  wchar_t value[1024];
  DWORD size = GetEnvironmentVariableW(name, value, 1024);
  return size > 0 && size < 1024 ? value : L"";
}

std::wstring NameLines(const std::vector<std::wstring>& names) {
  std::wstring lines;
  for (size_t i = 0; i < names.size() && i < 10; ++i) lines += L"\n" + names[i];
  if (names.size() > 10) lines += L"\nほか" + std::to_wstring(names.size() - 10) + L"個";
  return lines;
}

std::wstring MissingText(const std::vector<std::wstring>& names) {
  return L"ＵＰＤＡＴＥデータに次のファイルがありません。" + NameLines(names);
}

std::wstring InUseText(const std::vector<std::wstring>& names, const std::wstring& holder) {
  return L"次のファイルが使用中のため更新できません。" + NameLines(names) + L"\n" + holder +
         L"を終了してから「再試行」を押してください。";
}

std::wstring NotWritableText(const std::wstring& folder) {
  return L"ゲームフォルダに書き込めません。\n" + folder +
         L"\n管理者として実行するか、フォルダのアクセス許可を確認してください。";
}

// Free space as the box shows it: rounded down, one decimal under 10 of a
// unit of 1024.
std::wstring FreeText(uint64_t bytes) {
  const wchar_t* units[] = {L"KB", L"MB", L"GB", L"TB"};
  uint64_t unit = 1024;
  int index = 0;
  while (index < 3 && bytes / unit >= 1024) {
    unit *= 1024;
    ++index;
  }
  uint64_t tenths = bytes / unit * 10 + bytes % unit * 10 / unit;
  std::wstring number = tenths < 100
                            ? std::to_wstring(tenths / 10) + L"." + std::to_wstring(tenths % 10)
                            : std::to_wstring(bytes / unit);
  return number + L" " + units[index];
}

class PreflightTest : public UpdateRun {
 protected:
  // A file of the game folder as the earlier version left it.
  void PutOld(const std::wstring& entry, const std::string& bytes) {
    std::wstring path = Dest(entry);
    ASSERT_TRUE(MakeFolders(path.substr(0, path.find_last_of(L'\\'))));
    ASSERT_TRUE(WriteBytes(path, bytes)) << Utf8(path);
  }

  void ExpectContent(const std::wstring& entry, const std::string& bytes) {
    std::string now;
    EXPECT_TRUE(ReadBytes(Dest(entry), &now)) << Utf8(entry);
    EXPECT_EQ(now, bytes) << Utf8(entry);
  }

  // The run's own box: no owner, the failure caption.
  MessageBoxView ExpectBox(const std::wstring& text) {
    MessageBoxView box = AwaitMessage();
    EXPECT_EQ(Utf8(box.text), Utf8(text));
    EXPECT_EQ(Utf8(box.caption), Utf8(kCaptionFailed));
    EXPECT_EQ(box.owner, nullptr);
    return box;
  }

  // Retry and Cancel, no OK.
  void ExpectRetryCancel(const MessageBoxView& box) {
    EXPECT_TRUE(GetDlgItem(box.window, IDRETRY) != nullptr);
    EXPECT_TRUE(GetDlgItem(box.window, IDCANCEL) != nullptr);
    EXPECT_TRUE(GetDlgItem(box.window, IDOK) == nullptr);
  }

  void Press(const MessageBoxView& box, int id) {
    ASSERT_TRUE(PostCommand(box.window, id));
    ASSERT_TRUE(WaitGone(box.window, kWaitMs));
  }

  void ExpectUnchanged(const Snapshot& before) {
    for (const std::string& change : Differences(before, TakeSnapshot(game_)))
      ADD_FAILURE() << "the game folder changed: " << change;
  }

  // Cases that need what only root can make skip with the script's reason.
  std::wstring NeedFromScript(const wchar_t* variable) {
    std::wstring value = GetEnv(variable);
    if (value.empty()) {
      std::string reason = Utf8(GetEnv(kNoRootReasonVariable));
      skip_reason_ = reason.empty() ? "run by scripts/wine/run-preflight.sh as root" : reason;
    }
    return value;
  }

  std::string skip_reason_;
};

TEST_F(PreflightTest, OneSourceMissingChangesNothing) {
  const std::wstring missing = L"データ\\欠品.dat";
  PutOld(L"a.dat", "old A");
  PutOld(missing, "old data");
  PutOld(L"game.exe", "old exe");
  WriteSettings({L"[SYSTEM]", L"a.dat", L"[DATA]", missing, L"game.exe"});
  PutSource(L"a.dat", "new A");
  PutSource(L"game.exe", "new exe");
  WriteRecord(game_);
  Snapshot before = TakeSnapshot(game_);

  StartUpdate();
  Dismiss(ExpectBox(MissingText({missing})));
  ExpectExitCode1();
  ExpectUnchanged(before);
}

TEST_F(PreflightTest, ElevenSourcesMissingNameTenAndHowManyMore) {
  std::vector<std::wstring> lines = {L"[SYSTEM]", L"here.dat"};
  std::vector<std::wstring> missing;
  for (int i = 1; i <= 11; ++i) {
    missing.push_back(L"m" + std::to_wstring(100 + i) + L".dat");
    lines.push_back(missing.back());
  }
  WriteSettings(lines);
  PutSource(L"here.dat", "here");
  PutOld(L"keep.dat", "keep");
  WriteRecord(game_);
  Snapshot before = TakeSnapshot(game_);

  StartUpdate();
  MessageBoxView box = ExpectBox(MissingText(missing));
  EXPECT_NE(Utf8(box.text).find(Utf8(L"\nほか1個")), std::string::npos);
  Dismiss(box);
  ExpectExitCode1();
  ExpectUnchanged(before);
}

TEST_F(PreflightTest, GameFolderNotWritable) {
  std::wstring locked = NeedFromScript(kLockedFolderVariable);
  if (locked.empty()) GTEST_SKIP() << "needs a folder that cannot be written: " << skip_reason_;
  game_ = locked;
  // The script left one file in it before it locked it.
  ASSERT_TRUE(Exists(Dest(L"keep.dat")));
  ASSERT_FALSE(WriteBytes(Dest(L"probe-by-test.dat"), "x")) << "the folder can be written";
  WriteSettings({L"[SYSTEM]", L"keep.dat", L"new.dat"});
  PutSource(L"keep.dat", "new keep");
  PutSource(L"new.dat", "new");
  WriteRecord(game_);
  Snapshot before = TakeSnapshot(game_);

  StartUpdate();
  Dismiss(ExpectBox(NotWritableText(game_)));
  ExpectExitCode1();
  ExpectUnchanged(before);
}

// The user's own files under the name the write check once used and under
// the first name this run's check would take (its process id and 1) stay
// through a whole update: the check takes the next name, and leaves no file
// of its own behind.
TEST_F(PreflightTest, FilesNamedLikeTheWriteCheckAreLeftAlone) {
  PutOld(L"~update-probe.tmp", "the user's own");
  PutOld(L"a.dat", "old A");
  WriteSettings({L"[SYSTEM]", L"a.dat"});
  PutSource(L"a.dat", "new A");
  WriteRecord(game_);

  Launch();
  HWND dialog = AwaitUpdate();
  ASSERT_TRUE(dialog);
  const std::wstring taken = L"~update-probe-" + std::to_wstring(program_.pid) + L"-1.tmp";
  PutOld(taken, "also the user's own");
  Snapshot before = TakeSnapshot(game_);
  ASSERT_TRUE(PostCommand(dialog, IDOK));
  ExpectCompletion();
  ExpectContent(L"~update-probe.tmp", "the user's own");
  ExpectContent(taken, "also the user's own");
  EXPECT_EQ(Differences(before, TakeSnapshot(game_)),
            (std::vector<std::string>{"changed " + Utf8(Dest(L"a.dat"))}));
}

TEST_F(PreflightTest, GameExeHeldOpenThenRetryAfterItIsLetGo) {
  PutOld(L"a.txt", "old a");
  PutOld(L"game.exe", "old exe");
  WriteSettings({L"[SYSTEM]", L"a.txt", L"game.exe", L"b.dat"});
  PutSource(L"a.txt", "new a");
  PutSource(L"game.exe", "new exe");
  PutSource(L"b.dat", "new b");
  WriteRecord(game_);
  Snapshot before = TakeSnapshot(game_);
  FileHolder holder;
  ASSERT_TRUE(holder.Hold(Dest(L"game.exe"))) << "hold_file.exe did not open game.exe";

  StartUpdate();
  // Wine's Restart Manager names no program, so the game is named.
  MessageBoxView box = ExpectBox(InUseText({L"game.exe"}, L"ゲーム"));
  ExpectRetryCancel(box);
  ExpectContent(L"a.txt", "old a");
  EXPECT_FALSE(Exists(Dest(L"b.dat")));
  ASSERT_TRUE(holder.Release());
  ExpectUnchanged(before);

  Press(box, IDRETRY);
  ExpectCompletion();
  ExpectContent(L"a.txt", "new a");
  ExpectContent(L"game.exe", "new exe");
  ExpectContent(L"b.dat", "new b");
}

TEST_F(PreflightTest, GameExeHeldOpenThenCancelLeavesEverything) {
  PutOld(L"a.txt", "old a");
  PutOld(L"game.exe", "old exe");
  WriteSettings({L"[SYSTEM]", L"a.txt", L"game.exe"});
  PutSource(L"a.txt", "new a");
  PutSource(L"game.exe", "new exe");
  WriteRecord(game_);
  Snapshot before = TakeSnapshot(game_);
  FileHolder holder;
  ASSERT_TRUE(holder.Hold(Dest(L"game.exe")));

  StartUpdate();
  MessageBoxView box = ExpectBox(InUseText({L"game.exe"}, L"ゲーム"));
  Press(box, IDCANCEL);
  // Silently: any further box would keep the program from ending.
  ExpectExitCode1();
  ASSERT_TRUE(holder.Release());
  ExpectUnchanged(before);
}

TEST_F(PreflightTest, NotEnoughSpaceThenRetryAfterSpaceWasFreed) {
  std::wstring drive = NeedFromScript(kSmallDriveVariable);
  if (drive.empty()) GTEST_SKIP() << "needs a small drive: " << skip_reason_;
  game_ = drive + L"\\" + name_;
  DeleteTree(game_);
  ASSERT_TRUE(MakeFolders(game_));
  // The user's own file that takes the room, and the update's 3 MB file,
  // which needs 6 MB: its growth and its temporary copy.
  std::string big(3 << 20, 'N');
  PutOld(L"save.dat", std::string(5 << 20, 'S'));
  PutOld(L"game.exe", "old exe");
  WriteSettings({L"[SYSTEM]", L"game.exe", L"big.dat"});
  PutSource(L"game.exe", "new exe");
  PutSource(L"big.dat", big);
  WriteRecord(game_);
  ULARGE_INTEGER free_bytes;
  ASSERT_TRUE(GetDiskFreeSpaceExW((drive + L"\\").c_str(), &free_bytes, nullptr, nullptr));
  ASSERT_LT(free_bytes.QuadPart, 6ull << 20) << "drive " << Utf8(drive) << " is not a small one";
  Snapshot before = TakeSnapshot(game_);

  StartUpdate();
  MessageBoxView box = ExpectBox(
      L"ゲームフォルダのドライブの空き容量が足りません。\n"
      L"必要な空き容量：6.0 MB\n現在の空き容量：" +
      FreeText(free_bytes.QuadPart));
  ExpectRetryCancel(box);
  ExpectUnchanged(before);

  ASSERT_TRUE(DeleteFileW(Dest(L"save.dat").c_str()));
  Press(box, IDRETRY);
  ExpectCompletion();
  ExpectContent(L"game.exe", "new exe");
  ExpectContent(L"big.dat", big);
  DeleteTree(game_);
}

// The first file is copied; the second's destination is read-only, so its
// failure box holds the run while the medium's folder goes. Then one box,
// and the end, counting every entry not copied.
TEST_F(PreflightTest, MediumRemovedAfterTheFirstFileEndsWithOneBox) {
  PutOld(L"ro.dat", "old ro");
  ASSERT_TRUE(SetFileAttributesW(Dest(L"ro.dat").c_str(), FILE_ATTRIBUTE_READONLY));
  PutOld(L"c.dat", "old C");
  WriteSettings({L"[SYSTEM]", L"a.dat", L"ro.dat", L"c.dat", L"sub\\d.dat"});
  PutSource(L"a.dat", "new A");
  PutSource(L"ro.dat", "new ro");
  PutSource(L"c.dat", "new C");
  PutSource(L"sub\\d.dat", "new D");
  WriteRecord(game_);

  StartUpdate();
  MessageBoxView held = AwaitMessage();
  ASSERT_EQ(Utf8(held.text), Utf8(CopyFailedText(Source(L"ro.dat"), Dest(L"ro.dat"))));
  ExpectContent(L"a.dat", "new A");
  const std::wstring source_folder = medium_ + L"\\GAME";
  DeleteTree(source_folder);
  ASSERT_FALSE(Exists(source_folder));
  Dismiss(held);

  MessageBoxView box = AwaitMessage();
  EXPECT_EQ(Utf8(box.text), Utf8(kTextMediumLost));
  EXPECT_EQ(Utf8(box.caption), Utf8(kCaptionFailed));
  HWND copy = FindWindowOf(program_.pid, Kind::kCopy);
  EXPECT_TRUE(copy != nullptr && box.owner == copy) << "owned by FILECOPY";
  Dismiss(box);
  ExpectIncomplete(3);
  ExpectContent(L"c.dat", "old C");
  EXPECT_FALSE(Exists(Dest(L"sub\\d.dat")));
}

}  // namespace
}  // namespace e2e
