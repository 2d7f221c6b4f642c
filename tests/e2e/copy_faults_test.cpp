// Faults during the copy: a full disk, a file another program holds open, a
// missing or vanished source, a run killed mid-file, read-only files and a
// folder where a file should be. After each the game's old files must be as
// they were, nothing outside the game folder may have changed, and no
// temporary copy may be left. The suite ends with a table of what each case
// showed. Run by scripts/wine/run-copy-faults.sh, which also provides the
// small drive that the full-disk case needs.
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "file_holder.h"
#include "scenario.h"
#include "snapshot.h"

namespace e2e {
namespace {

// Set by run-copy-faults.sh to a Wine drive (such as G:) on a tmpfs of a
// few megabytes.
constexpr wchar_t kSmallDriveVariable[] = L"COPY_FAULTS_SMALL_DRIVE";
// Why the script made no such drive, for the skipped case's row.
constexpr wchar_t kNoDriveReasonVariable[] = L"COPY_FAULTS_NO_DRIVE_REASON";
// Where the table is also written, for the script to print last.
constexpr wchar_t kTableVariable[] = L"COPY_FAULTS_TABLE";

std::wstring GetEnv(const wchar_t* name) {
  wchar_t value[1024];
  DWORD size = GetEnvironmentVariableW(name, value, 1024);
  return size > 0 && size < 1024 ? value : L"";
}

bool EndsWith(const std::wstring& text, const std::wstring& tail) {
  return text.size() >= tail.size() &&
         text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// ---- the table printed at the end

struct Row {
  std::string scenario;
  std::string failed;
  std::string intact;
  std::string outside_touched;
};

std::vector<Row>& Rows() {
  static std::vector<Row> rows;
  return rows;
}

std::string YesNo(bool value) {
  return value ? "yes" : "no";
}

// Pads UTF-8 text to a column width, taking every character beyond ASCII as
// two columns wide, as a terminal shows Japanese.
std::string Cell(const std::string& text, size_t width) {
  size_t columns = 0;
  for (unsigned char c : text) {
    if (c < 0x80) {
      columns += 1;
    } else if (c >= 0xC0) {
      columns += 2;
    }
  }
  return text + std::string(columns < width ? width - columns : 0, ' ');
}

// Printed at the end of the run, or written to the file that
// run-copy-faults.sh names, which prints it after Wine's own output.
class TablePrinter : public ::testing::Environment {
 public:
  void TearDown() override {
    const size_t widths[] = {36, 46, 12};
    auto line = [&](const std::string& a, const std::string& b, const std::string& c,
                    const std::string& d) {
      return Cell(a, widths[0]) + " | " + Cell(b, widths[1]) + " | " + Cell(c, widths[2]) + " | " +
             d + "\n";
    };
    std::string table = "\nCopy faults: what each case showed\n";
    table += line("scenario", "what failed", "files intact", "outside game folder touched");
    table += std::string(widths[0], '-') + "-+-" + std::string(widths[1], '-') + "-+-" +
             std::string(widths[2], '-') + "-+-" + std::string(27, '-') + "\n";
    for (const Row& row : Rows()) {
      table += line(row.scenario, row.failed, row.intact, row.outside_touched);
    }
    std::wstring file = GetEnv(kTableVariable);
    if (file.empty() || !WriteBytes(file, table)) {
      fputs(table.c_str(), stdout);
      fflush(stdout);
    }
  }
};

const auto* const kTablePrinter = ::testing::AddGlobalTestEnvironment(new TablePrinter);

// ---- files for the cases

// A file of size bytes that is quick to make: marks at both ends and a hole
// between them, which the file system need not store.
bool MakeLargeFile(const std::wstring& path, uint64_t size, const std::string& head,
                   const std::string& tail) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  LARGE_INTEGER end;
  end.QuadPart = static_cast<LONGLONG>(size);
  LARGE_INTEGER tail_at;
  tail_at.QuadPart = static_cast<LONGLONG>(size - tail.size());
  bool ok = WriteFile(file, head.data(), static_cast<DWORD>(head.size()), &written, nullptr) &&
            SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file) &&
            SetFilePointerEx(file, tail_at, nullptr, FILE_BEGIN) &&
            WriteFile(file, tail.data(), static_cast<DWORD>(tail.size()), &written, nullptr);
  CloseHandle(file);
  return ok;
}

// Bytes that differ from one file to the next, so that a mixed-up copy shows.
std::string Pattern(const std::string& seed, size_t size) {
  std::string bytes(size, '\0');
  uint32_t state = 2166136261u;
  for (char c : seed) state = (state ^ static_cast<unsigned char>(c)) * 16777619u;
  for (size_t i = 0; i < size; ++i) {
    state = state * 1664525u + 1013904223u;
    bytes[i] = static_cast<char>(state >> 24);
  }
  return bytes;
}

// ---- the fixture

class CopyFaultTest : public UpdateRun {
 protected:
  void TearDown() override {
    if (!recorded_) {
      Rows().push_back({scenario_, "the case stopped early (see its failure)", "?", "?"});
    }
    UpdateRun::TearDown();
  }

  // A file of the game folder as the earlier version left it.
  void PutOld(const std::wstring& entry, const std::string& bytes) {
    std::wstring path = Dest(entry);
    ASSERT_TRUE(MakeFolders(path.substr(0, path.find_last_of(L'\\'))));
    ASSERT_TRUE(WriteBytes(path, bytes)) << Utf8(path);
  }

  // Everything the checks compare with afterwards. outside lists the trees
  // that must not change (the one holding the game folder, the medium).
  void Remember() {
    game_before_ = TakeSnapshot(game_);
    ASSERT_FALSE(game_before_.empty());
    if (outside_.empty()) outside_.push_back(root_);
    outside_before_.clear();
    for (const std::wstring& folder : outside_) {
      Snapshot part = TakeSnapshot(folder, game_);
      outside_before_.insert(part.begin(), part.end());
    }
  }

  Snapshot OutsideNow() const {
    Snapshot now;
    for (const std::wstring& folder : outside_) {
      Snapshot part = TakeSnapshot(folder, game_);
      now.insert(part.begin(), part.end());
    }
    return now;
  }

  // The failure box for entry, naming the file exactly as the program joins
  // its paths, owned by the copy dialog; pressed away.
  void ExpectCopyFailure(const std::wstring& entry) {
    MessageBoxView box = AwaitMessage();
    EXPECT_EQ(Utf8(box.text), Utf8(CopyFailedText(Source(entry), Dest(entry))));
    EXPECT_EQ(Utf8(box.caption), Utf8(kCaptionCopyFailed));
    HWND copy = FindWindowOf(program_.pid, Kind::kCopy);
    EXPECT_TRUE(copy != nullptr && box.owner == copy) << "owned by FILECOPY";
    if (Utf8(box.text) == Utf8(CopyFailedText(Source(entry), Dest(entry)))) {
      failed_ += (failed_.empty() ? "" : ", ") + Utf8(entry);
    }
    Dismiss(box);
  }

  std::vector<std::wstring> TempFiles() const {
    std::vector<std::wstring> temps;
    for (const auto& [path, state] : TakeSnapshot(game_)) {
      if (EndsWith(path, kTempSuffix)) temps.push_back(path);
    }
    return temps;
  }

  void ExpectContent(const std::wstring& entry, const std::string& bytes) {
    std::string now;
    EXPECT_TRUE(ReadBytes(Dest(entry), &now)) << Utf8(entry);
    EXPECT_TRUE(now == bytes) << Utf8(entry) << " holds " << now.size() << " bytes, expected "
                              << bytes.size();
  }

  // The checks every case ends with, and its row of the table. changed are
  // the entries that the run was to replace or remove; every other file of
  // the game folder must hold exactly its old bytes.
  void Conclude(const std::string& cause, const std::set<std::wstring>& changed) {
    Snapshot game_after = TakeSnapshot(game_);
    bool intact = true;
    for (const auto& [path, was] : game_before_) {
      bool is_changed = false;
      for (const std::wstring& entry : changed) is_changed |= SamePath(path, Dest(entry));
      if (is_changed) continue;
      auto now = game_after.find(path);
      bool same = now != game_after.end() && now->second.folder == was.folder &&
                  now->second.readable && now->second.size == was.size &&
                  now->second.hash == was.hash;
      EXPECT_TRUE(same) << "old file not intact: " << Utf8(path);
      intact &= same;
    }
    std::vector<std::string> outside = Differences(outside_before_, OutsideNow());
    for (const std::string& change : outside)
      ADD_FAILURE() << "outside the game folder: " << change;
    std::vector<std::wstring> temps = TempFiles();
    for (const std::wstring& temp : temps) ADD_FAILURE() << "temporary copy left: " << Utf8(temp);
    std::string failed = failed_.empty() ? "nothing" : cause + ": " + failed_;
    if (!temps.empty()) failed += " (temporary copy left)";
    Rows().push_back({scenario_, failed, YesNo(intact), YesNo(!outside.empty())});
    recorded_ = true;
  }

  // A first entry whose old file is read-only, so that its copy fails after
  // the checks before the copy have passed: its failure box holds the run
  // while a case brings about the fault that those checks could not see.
  void PutPause() {
    PutOld(kPause, "old pause");
    ASSERT_TRUE(SetFileAttributesW(Dest(kPause).c_str(), FILE_ATTRIBUTE_READONLY));
    PutSource(kPause, "new pause");
  }

  // Waits for the pause entry's failure box and leaves it open.
  MessageBoxView AwaitPause() {
    MessageBoxView box = AwaitMessage();
    EXPECT_EQ(Utf8(box.text), Utf8(CopyFailedText(Source(kPause), Dest(kPause))));
    failed_ = Utf8(kPause);
    return box;
  }

  static constexpr wchar_t kPause[] = L"pause.dat";

  void Skip(const std::string& reason) {
    Rows().push_back({scenario_, "skipped: " + reason, "-", "-"});
    recorded_ = true;
  }

  std::string scenario_;
  std::string failed_;
  bool recorded_ = false;
  std::vector<std::wstring> outside_;
  Snapshot game_before_;
  Snapshot outside_before_;
};

// Under Wine, CopyFileW onto an existing file on a full disk used to leave it
// cut off at the bytes that fit.
TEST_F(CopyFaultTest, DiskFullPartWayThroughAFile) {
  scenario_ = "disk full part way through a file";
  std::wstring drive = GetEnv(kSmallDriveVariable);
  if (drive.empty()) {
    // The script says why it made no drive (not root, or the mount failed).
    std::string reason = Utf8(GetEnv(kNoDriveReasonVariable));
    if (reason.empty()) reason = "no small drive; run-copy-faults.sh makes one as root";
    Skip(reason);
    GTEST_SKIP() << "the disk-full case needs a small tmpfs mapped as a Wine drive in "
                 << Utf8(kSmallDriveVariable) << ": " << reason;
  }
  ULARGE_INTEGER free_bytes;
  ASSERT_TRUE(GetDiskFreeSpaceExW((drive + L"\\").c_str(), &free_bytes, nullptr, nullptr));
  ASSERT_LT(free_bytes.QuadPart, 64ull << 20) << "drive " << Utf8(drive) << " is not a small one";
  game_ = drive + L"\\" + name_;
  DeleteTree(game_);
  ASSERT_TRUE(MakeFolders(game_));
  outside_ = {root_, drive};

  const std::string old_big = Pattern("old big", 100 << 10);
  PutPause();
  PutOld(L"first.dat", "old first");
  PutOld(L"big.dat", old_big);
  PutOld(L"last.dat", "old last");
  PutOld(L"keep.dat", Pattern("keep", 20 << 10));
  const std::string new_first = Pattern("new first", 8 << 10);
  const std::string new_last = Pattern("new last", 8 << 10);
  WriteSettings({L"[SYSTEM]", kPause, L"first.dat", L"big.dat", L"last.dat"});
  PutSource(L"first.dat", new_first);
  PutSource(L"big.dat", old_big);
  PutSource(L"last.dat", new_last);
  WriteRecord(game_);

  // The checks before the copy find room for it; the source then grows
  // beyond the free space while the pause holds the run.
  StartUpdate();
  MessageBoxView pause = AwaitPause();
  ASSERT_TRUE(GetDiskFreeSpaceExW((drive + L"\\").c_str(), &free_bytes, nullptr, nullptr));
  const size_t big_size = static_cast<size_t>(free_bytes.QuadPart) + (512 << 10);
  ASSERT_GT(big_size, old_big.size());
  PutSource(L"big.dat", Pattern("new big", big_size));
  Remember();
  Dismiss(pause);
  ExpectCopyFailure(L"big.dat");
  ExpectIncomplete(2);
  ExpectContent(L"first.dat", new_first);
  ExpectContent(L"last.dat", new_last);
  Conclude("disk full", {L"first.dat", L"last.dat"});
  DeleteTree(game_);
}

TEST_F(CopyFaultTest, DestinationHeldOpenByAnotherProgram) {
  scenario_ = "destination held open (no sharing)";
  PutPause();
  PutOld(L"a.dat", "old A");
  PutOld(L"b.dat", "old B");
  WriteSettings({L"[SYSTEM]", kPause, L"a.dat", L"b.dat"});
  PutSource(L"a.dat", "new A");
  PutSource(L"b.dat", "new B");
  WriteRecord(game_);
  Remember();

  // Opened by the other program after the checks before the copy.
  StartUpdate();
  MessageBoxView pause = AwaitPause();
  FileHolder holder;
  ASSERT_TRUE(holder.Hold(Dest(L"a.dat"))) << "hold_file.exe did not open a.dat";
  Dismiss(pause);
  ExpectCopyFailure(L"a.dat");
  EXPECT_TRUE(holder.Holding()) << "the file was let go before the copy was tried";
  ExpectIncomplete(2);
  EXPECT_TRUE(holder.Release());
  ExpectContent(L"b.dat", "new B");
  Conclude("in use", {L"b.dat"});
}

TEST_F(CopyFaultTest, SourceMissing) {
  scenario_ = "source missing";
  const std::wstring missing = L"データ\\欠品.dat";
  PutPause();
  PutOld(missing, "old data");
  PutOld(L"b.dat", "old B");
  WriteSettings({L"[SYSTEM]", kPause, L"[DATA]", missing, L"b.dat"});
  PutSource(missing, "new data");
  PutSource(L"b.dat", "new B");
  WriteRecord(game_);

  // Gone after the checks before the copy, the medium's folder still there.
  StartUpdate();
  MessageBoxView pause = AwaitPause();
  ASSERT_TRUE(DeleteFileW(Source(missing).c_str()));
  Remember();
  Dismiss(pause);
  ExpectCopyFailure(missing);
  ExpectIncomplete(2);
  ExpectContent(L"b.dat", "new B");
  Conclude("no source", {L"b.dat"});
}

// The medium taken away part way: the pause holds the run while the source
// folder goes; then one box, and the end of the copy.
TEST_F(CopyFaultTest, SourceFolderRemovedWhileTheDialogRuns) {
  scenario_ = "source folder removed mid-run";
  PutPause();
  PutOld(L"a.dat", "old A");
  PutOld(L"sub\\b.dat", "old B");
  WriteSettings({L"[SYSTEM]", kPause, L"a.dat", L"sub\\b.dat"});
  PutSource(L"a.dat", "new A");
  PutSource(L"sub\\b.dat", "new B");
  WriteRecord(game_);

  StartUpdate();
  MessageBoxView pause = AwaitPause();
  const std::wstring source_folder = medium_ + L"\\GAME";
  DeleteTree(source_folder);
  ASSERT_FALSE(Exists(source_folder));
  Remember();
  Dismiss(pause);
  MessageBoxView box = AwaitMessage();
  EXPECT_EQ(Utf8(box.text), Utf8(L"ＵＰＤＡＴＥデータが読めなくなりました。"));
  EXPECT_EQ(Utf8(box.caption), Utf8(kCaptionFailed));
  HWND copy = FindWindowOf(program_.pid, Kind::kCopy);
  EXPECT_TRUE(copy != nullptr && box.owner == copy) << "owned by FILECOPY";
  failed_ += ", a.dat, sub\\b.dat (one box)";
  Dismiss(box);
  ExpectIncomplete(3);
  Conclude("no source", {});
}

// Killed while a large file is on its way: the old file stays, the part
// copy is left, and the next run replaces the file and removes the part.
TEST_F(CopyFaultTest, KilledMidCopyThenNextRunCompletes) {
  scenario_ = "killed mid-copy, then run again";
  const uint64_t kBig = 300ull << 20;
  const std::string head = "HEAD of the new big file";
  const std::string tail = "TAIL of the new big file";
  PutOld(L"big.bin", "old big");
  PutOld(L"after.dat", "old after");
  WriteSettings({L"[SYSTEM]", L"big.bin", L"after.dat"});
  ASSERT_TRUE(MakeLargeFile(Source(L"big.bin"), kBig, head, tail));
  PutSource(L"after.dat", "new after");
  WriteRecord(game_);
  Remember();

  // Killed only while the part copy is measurably short of half the file:
  // a part copy that merely exists may be a finished one on its way into
  // place. A run that got further than that is killed too, and another
  // starts from the old files.
  const std::wstring temp = Dest(L"big.bin") + kTempSuffix;
  uint64_t part_size = 0;
  bool caught = false;
  for (int attempt = 0; attempt < 3 && !caught; ++attempt) {
    DeleteFileW(temp.c_str());
    PutOld(L"big.bin", "old big");
    PutOld(L"after.dat", "old after");
    StartUpdate();
    ASSERT_TRUE(WaitUntil([&] { return Exists(temp); }, kWaitMs, 2))
        << "no temporary copy appeared; windows:\n"
        << DescribeWindows(program_.pid);
    part_size = FileSize(temp);
    ASSERT_TRUE(TerminateProcess(program_.process, 99));
    ASSERT_EQ(WaitForSingleObject(program_.process, kWaitMs), WAIT_OBJECT_0);
    Stop(&program_);
    caught = part_size < kBig / 2 && Exists(temp);
  }
  ASSERT_TRUE(caught) << "premise not met: the part copy was never seen short of half the file ("
                      << part_size << " bytes last)";
  failed_ = "big.bin";

  // What the kill left: the old files, and the part copy.
  ExpectContent(L"big.bin", "old big");
  ExpectContent(L"after.dat", "old after");
  ASSERT_TRUE(Exists(temp));
  EXPECT_LT(FileSize(temp), kBig) << "the kill came after the whole file was copied";

  StartUpdate();
  ExpectCompletion();
  EXPECT_EQ(FileSize(Dest(L"big.bin")), kBig);
  EXPECT_EQ(ReadAt(Dest(L"big.bin"), 0, head.size()), head);
  EXPECT_EQ(ReadAt(Dest(L"big.bin"), kBig - tail.size(), tail.size()), tail);
  ExpectContent(L"after.dat", "new after");
  Conclude("killed in the first run", {L"big.bin", L"after.dat"});
  // Three hundred megabytes each; the prefix is shared by the whole suite.
  DeleteFileW(Dest(L"big.bin").c_str());
  DeleteFileW(Source(L"big.bin").c_str());
}

// What a killed run leaves (a part copy, read-only when the source was) goes
// as soon as its entry comes up again, even when that copy fails.
TEST_F(CopyFaultTest, LeftoverPartCopiesRemovedEvenWhenTheCopyFails) {
  scenario_ = "part copies left by a killed run";
  const std::wstring a_part = std::wstring(L"a.dat") + kTempSuffix;
  const std::wstring b_part = std::wstring(L"b.dat") + kTempSuffix;
  PutOld(L"a.dat", "old A");
  PutOld(L"b.dat", "old B");
  PutOld(a_part, "part of A");
  PutOld(b_part, "part of B");
  ASSERT_TRUE(SetFileAttributesW(Dest(L"a.dat").c_str(), FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(SetFileAttributesW(Dest(a_part).c_str(), FILE_ATTRIBUTE_READONLY));
  WriteSettings({L"[SYSTEM]", L"a.dat", L"b.dat"});
  PutSource(L"a.dat", "new A");
  PutSource(L"b.dat", "new B");
  WriteRecord(game_);
  Remember();

  StartUpdate();
  ExpectCopyFailure(L"a.dat");
  ExpectIncomplete(1);
  EXPECT_FALSE(Exists(Dest(a_part)));
  EXPECT_FALSE(Exists(Dest(b_part)));
  ExpectContent(L"b.dat", "new B");
  Conclude("read-only", {L"b.dat", a_part, b_part});
}

// Wine would replace a read-only file (and as root copy over it too);
// Windows refuses. The updater refuses on both, then clears the bit so that
// the next update can replace the file.
TEST_F(CopyFaultTest, ReadOnlyDestination) {
  scenario_ = "read-only destination";
  PutOld(L"a.dat", "old A");
  PutOld(L"b.dat", "old B");
  ASSERT_TRUE(SetFileAttributesW(Dest(L"a.dat").c_str(), FILE_ATTRIBUTE_READONLY));
  WriteSettings({L"[SYSTEM]", L"a.dat", L"b.dat"});
  PutSource(L"a.dat", "new A");
  PutSource(L"b.dat", "new B");
  WriteRecord(game_);
  Remember();

  StartUpdate();
  ExpectCopyFailure(L"a.dat");
  ExpectIncomplete(1);
  EXPECT_EQ(Attributes(Dest(L"a.dat")) & FILE_ATTRIBUTE_READONLY, 0u);
  ExpectContent(L"b.dat", "new B");
  Conclude("read-only", {L"b.dat"});
}

// The copy is writable, and the medium's file keeps its bit.
TEST_F(CopyFaultTest, ReadOnlySource) {
  scenario_ = "read-only source";
  PutOld(L"a.dat", "old A");
  WriteSettings({L"[SYSTEM]", L"a.dat"});
  PutSource(L"a.dat", "new A");
  ASSERT_TRUE(SetFileAttributesW(Source(L"a.dat").c_str(), FILE_ATTRIBUTE_READONLY));
  PutOld(L"keep.dat", "keep");
  WriteRecord(game_);
  Remember();

  StartUpdate();
  ExpectCompletion();
  ExpectContent(L"a.dat", "new A");
  DWORD attributes = Attributes(Dest(L"a.dat"));
  EXPECT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(attributes & FILE_ATTRIBUTE_READONLY, 0u);
  Conclude("-", {L"a.dat"});
}

TEST_F(CopyFaultTest, DestinationIsAFolder) {
  scenario_ = "destination is a folder";
  PutOld(L"a.dat\\inside.txt", "inside");
  PutOld(L"b.dat", "old B");
  WriteSettings({L"[SYSTEM]", L"a.dat", L"b.dat"});
  PutSource(L"a.dat", "new A");
  PutSource(L"b.dat", "new B");
  WriteRecord(game_);
  Remember();

  StartUpdate();
  ExpectCopyFailure(L"a.dat");
  ExpectIncomplete(1);
  EXPECT_NE(Attributes(Dest(L"a.dat")) & FILE_ATTRIBUTE_DIRECTORY, 0u);
  ExpectContent(L"b.dat", "new B");
  Conclude("a folder", {L"b.dat"});
}

}  // namespace
}  // namespace e2e
