// The FILECOPY dialog through many small files: they go by at the disk's
// pace, several a step, while the dialog answers, its status text follows
// them no faster than it can be read, and its close box leaves every file
// either as it was or wholly new.
#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "scenario.h"

namespace e2e {
namespace {

// A patch of a game made with today's engines touches thousands of files.
constexpr int kManyFiles = 2000;
// Spread over folders, as a game's files are.
constexpr int kFolders = 8;
// Loose bounds: they catch a copy that holds the dialog for the whole list,
// not a slow one. A flush on a disk that other programs write to can wait
// for their data too, so now and then one answer is late.
constexpr double kSlowAnswerMs = 250;
constexpr size_t kLateAnswersAllowed = 2;
constexpr double kLatestAnswerMs = 2000;
constexpr DWORD kSampleEveryMs = 10;
// The status text changes at most every 50 ms. Seen from outside, a text
// that was surely up for less than this was replaced too soon.
constexpr double kShortestStatusMs = 45;

std::wstring Entry(int i) {
  return L"d" + std::to_wstring(i % kFolders) + L"\\f" + std::to_wstring(10000 + i) + L".dat";
}

// Each file's own bytes, of sizes from a few hundred bytes to 4 KB, so that
// a file cut short or another file's bytes would show.
std::string NewBytes(int i) {
  std::string bytes = "new " + std::to_string(i) + " ";
  bytes.append(200 + (i * 37) % 3900, static_cast<char>('a' + i % 26));
  return bytes;
}

std::string OldBytes(int i) {
  return "old " + std::to_string(i);
}

class ManyFilesTest : public UpdateRun {
 protected:
  // The medium with count entries, in list order, and the game folder with
  // an old file for each when old_files.
  void PutMedium(int count, bool old_files) {
    std::vector<std::wstring> lines = {L"[SYSTEM]"};
    for (int i = 0; i < count; ++i) {
      lines.push_back(Entry(i));
      PutSource(Entry(i), NewBytes(i));
    }
    if (old_files) PutOldFiles(count);
    WriteSettings(lines);
    WriteRecord(game_);
  }

  void PutOldFiles(int count) {
    for (int i = 0; i < kFolders; ++i) ASSERT_TRUE(MakeFolders(Dest(L"d" + std::to_wstring(i))));
    for (int i = 0; i < count; ++i) ASSERT_TRUE(WriteBytes(Dest(Entry(i)), OldBytes(i)));
  }

  // Polled while the copy runs: the size alone, read without opening the
  // file, which would keep update.exe from replacing it.
  bool HasNewSize(int i) const { return FileSize(Dest(Entry(i))) == NewBytes(i).size(); }

  bool HasNewBytes(int i) const {
    std::string bytes;
    return ReadBytes(Dest(Entry(i)), &bytes) && bytes == NewBytes(i);
  }

  // The same, found by the sizes in a few looks, so that update.exe is
  // frozen for a moment only and its step still has time left when thawed.
  int NewPrefixBySize(int count) const {
    int low = 0, high = count;
    while (low < high) {
      int middle = low + (high - low) / 2;
      if (HasNewSize(middle)) {
        low = middle + 1;
      } else {
        high = middle;
      }
    }
    return low;
  }

  // How many entries from the first on are in place.
  int NewPrefix(int count) const {
    int i = 0;
    while (i < count && HasNewBytes(i)) ++i;
    return i;
  }

  std::vector<std::wstring> TempsLeft() const {
    std::vector<std::wstring> left;
    for (int folder = -1; folder < kFolders; ++folder) {
      std::wstring dir = folder < 0 ? game_ : Dest(L"d" + std::to_wstring(folder));
      WIN32_FIND_DATAW found;
      HANDLE search = FindFirstFileW((dir + L"\\*" + kTempSuffix).c_str(), &found);
      if (search == INVALID_HANDLE_VALUE) continue;
      do {
        left.push_back(dir + L"\\" + found.cFileName);
      } while (FindNextFileW(search, &found));
      FindClose(search);
    }
    return left;
  }
};

struct StatusSample {
  double asked;     // before WM_GETTEXT was sent
  double answered;  // after it returned
  std::wstring text;
};

TEST_F(ManyFilesTest, AllInstalledWhileTheDialogAnswers) {
  PutMedium(kManyFiles, false);
  std::map<std::wstring, int> entry_of_status;
  for (int i = 0; i < kManyFiles; ++i)
    entry_of_status[StatusText(Source(Entry(i)), Dest(Entry(i)))] = i;
  StartUpdate();
  HWND copy = WaitWindow(program_.pid, Kind::kCopy, kWaitMs);
  ASSERT_TRUE(copy) << DescribeWindows(program_.pid);

  std::vector<double> answers;
  std::vector<StatusSample> statuses;
  DWORD began = GetTickCount();
  double shown = NowMs();
  while (IsWindow(copy) && !FindWindowOf(program_.pid, Kind::kMessage) &&
         GetTickCount() - began < kWaitMs) {
    double ms = 0;
    bool answered = TimeAnswer(copy, 5000, &ms);
    if (!answered && !IsWindow(copy)) break;
    answers.push_back(answered ? ms : 5000);
    StatusSample sample;
    sample.asked = NowMs();
    sample.text = ItemText(copy, 1009);
    sample.answered = NowMs();
    if (!IsWindow(copy)) break;
    // The dialog may be on its way out between the two reads.
    if (sample.text != L"<no answer>") statuses.push_back(sample);
    Sleep(kSampleEveryMs);
  }
  double first_status = shown;
  for (const StatusSample& sample : statuses) {
    if (sample.text.empty()) first_status = sample.answered;
  }
  printf("the copy dialog was up for %.0f ms, the first file named after %.0f ms\n",
         NowMs() - shown, first_status - shown);
  ExpectCompletion();

  int wrong = 0;
  for (int i = 0; i < kManyFiles; ++i) wrong += HasNewBytes(i) ? 0 : 1;
  EXPECT_EQ(wrong, 0) << "entries not in place of " << kManyFiles;
  EXPECT_TRUE(TempsLeft().empty()) << Utf8(TempsLeft().front());

  double worst = 0;
  size_t late = 0;
  for (double ms : answers) {
    worst = std::max(worst, ms);
    late += ms > kSlowAnswerMs ? 1 : 0;
  }
  printf("%zu WM_NULL answers, worst %.1f ms; %zu status samples\n", answers.size(), worst,
         statuses.size());
  ASSERT_GE(answers.size(), 10u) << "the copy went by too fast to be watched, or held the dialog";
  EXPECT_LE(late, kLateAnswersAllowed) << "answers over " << kSlowAnswerMs << " ms";
  EXPECT_LE(worst, kLatestAnswerMs);

  // The text names a listed file, in list order, and moves on through the
  // list; a text between two others stood for at least the period.
  int last_entry = -1, distinct = 0;
  double shortest = 1e9;
  size_t changed_at = 0;
  for (size_t i = 0; i < statuses.size(); ++i) {
    const std::wstring& text = statuses[i].text;
    if (text.empty()) continue;
    auto found = entry_of_status.find(text);
    ASSERT_NE(found, entry_of_status.end()) << "status names no entry: " << Utf8(text);
    EXPECT_GE(found->second, last_entry) << "the status went back in the list";
    last_entry = found->second;
    if (i == 0 || text == statuses[i - 1].text) continue;
    ++distinct;
    // This text followed the one seen at i - 1; the one seen at changed_at
    // followed another: it was up for less than the time between.
    if (changed_at > 0) {
      shortest = std::min(shortest, statuses[i].answered - statuses[changed_at - 1].asked);
    }
    changed_at = i;
  }
  printf("%d status texts seen; the shortest surely up for at most %.1f ms\n", distinct, shortest);
  EXPECT_GE(distinct, 2) << "the status text did not follow the copy";
  EXPECT_GE(shortest, kShortestStatusMs) << "the status text changed faster than it can be read";
}

// The close box while the copy is amid the files, pressed while update.exe
// is frozen so that the file it is on is known: every file is then either
// its old bytes or all of its new ones, the new ones an unbroken run from
// the start of the list, at most the file on its way finished after the
// close (a step that went on with its files until its time was up would
// finish more), and no temporary copy left.
TEST_F(ManyFilesTest, CloseBoxAmidThemLeavesEachFileOldOrNew) {
  PutMedium(kManyFiles, true);
  // Frozen once the copy is in full flow, so that the close comes amid a
  // step of several files rather than right after the first.
  HWND copy = StartAndFreezeAmidCopy([&] { return HasNewSize(kManyFiles / 10); },
                                     [&] { return !HasNewSize(kManyFiles - 2); },
                                     [&] { PutOldFiles(kManyFiles); });
  ASSERT_TRUE(copy);
  int at_close = NewPrefixBySize(kManyFiles);
  ASSERT_TRUE(PressCloseBox(copy));
  ASSERT_TRUE(Thaw(program_));
  EXPECT_TRUE(WaitGone(copy, kWaitMs));
  // A message box would keep the program from ending.
  ExpectExitCode1();

  int in_place = NewPrefix(kManyFiles);
  int torn = 0, late = 0;
  for (int i = 0; i < kManyFiles; ++i) {
    std::string bytes;
    bool read = ReadBytes(Dest(Entry(i)), &bytes);
    if (!read || (bytes != OldBytes(i) && bytes != NewBytes(i))) {
      if (torn++ == 0) ADD_FAILURE() << Utf8(Entry(i)) << " holds neither its old nor new bytes";
    } else if (i >= in_place && bytes == NewBytes(i)) {
      if (late++ == 0) ADD_FAILURE() << Utf8(Entry(i)) << " copied after an entry left old";
    }
  }
  printf("%d files in place when the close was pressed, %d after it\n", at_close, in_place);
  EXPECT_EQ(torn, 0);
  EXPECT_EQ(late, 0);
  EXPECT_GE(in_place, at_close);
  EXPECT_LE(in_place, at_close + 1) << "files were copied after the close";
  std::vector<std::wstring> temps = TempsLeft();
  EXPECT_TRUE(temps.empty()) << temps.size() << " temporary copies left, " << Utf8(temps.front());
}

// 250 files of 4 KB took 15 s when each waited for a 60 ms tick; the disk
// takes well under a second. The bound is loose: it catches a copy that
// still waits a tick per file, not a slow disk.
TEST_F(ManyFilesTest, SmallFilesGoByAtTheDisksPace) {
  constexpr int kFiles = 250;
  constexpr double kWithinMs = 8000;
  std::vector<std::wstring> lines = {L"[SYSTEM]"};
  for (int i = 0; i < kFiles; ++i) {
    std::wstring entry = L"p\\" + std::to_wstring(1000 + i) + L".dat";
    lines.push_back(entry);
    PutSource(entry, std::string(4096, static_cast<char>('a' + i % 26)));
  }
  WriteSettings(lines);
  WriteRecord(game_);
  Launch();
  HWND dialog = AwaitUpdate();
  ASSERT_TRUE(dialog);
  double pressed = NowMs();
  ASSERT_TRUE(PostCommand(dialog, IDOK));
  MessageBoxView box = AwaitMessage();
  double took = NowMs() - pressed;
  printf("%d files of 4 KB in %.0f ms\n", kFiles, took);
  EXPECT_EQ(Utf8(box.text), Utf8(kTextComplete));
  Dismiss(box);
  ExpectExitCode1();
  EXPECT_LT(took, kWithinMs);
  for (size_t i = 1; i < lines.size(); ++i)
    EXPECT_EQ(FileSize(Dest(lines[i])), 4096u) << Utf8(lines[i]);
}

}  // namespace
}  // namespace e2e
