// The FILECOPY dialog while a large file is on its way: it answers other
// programs, its bar moves forward, no second step starts inside the first,
// and its close box ends it at once without touching the file in progress.
#include <algorithm>
#include <cstdio>
#include <vector>

#include "scenario.h"

namespace e2e {
namespace {

// Large enough that a copy in one call keeps the dialog from answering
// for seconds even on a warm page cache.
constexpr uint64_t kBigMiB = 1024;
const wchar_t kBig[] = L"big.bin";
// Loose bounds: they catch a copy that blocks the dialog, not a slow one.
// The benchmark reports the real figures.
constexpr double kSlowAnswerMs = 250;
// The copy is flushed to the disk as it goes, and a flush on a disk that
// other programs write to can wait for their data too (ext4 commits its
// journal as a whole): now and then one answer is late. A copy that blocks
// the dialog shows as a few samples, each as long as the copy.
constexpr size_t kLateAnswersAllowed = 2;
constexpr double kLatestAnswerMs = 2000;
constexpr DWORD kGoneWithinMs = 1000;
constexpr DWORD kSampleEveryMs = 10;
// Runs a case may start before it gives up on catching the big file in its
// first half: each misses only when the machine stalls the test for the
// whole of half a gigabyte's copy.
constexpr int kAttempts = 3;

class ResponsiveCopyTest : public UpdateRun {
 protected:
  void TearDown() override {
    UpdateRun::TearDown();
    // A gigabyte each; the prefix is shared by the whole suite.
    for (const std::wstring& path : {Source(kBig), Dest(kBig), Temp()}) DeleteFileW(path.c_str());
  }

  std::wstring Temp() const { return Dest(kBig) + kTempSuffix; }

  void PutBigSource() { ASSERT_TRUE(WriteStampedFile(Source(kBig), kBigMiB)); }

  // The FILECOPY dialog once its first temporary copy of the big file is
  // there: the file is then under way.
  HWND AwaitBigFileUnderWay() {
    HWND copy = WaitWindow(program_.pid, Kind::kCopy, kWaitMs);
    EXPECT_TRUE(copy) << DescribeWindows(program_.pid);
    bool started = WaitUntil([&] { return Exists(Temp()); }, kWaitMs, 2);
    EXPECT_TRUE(started) << "the big file's copy did not start; windows:\n"
                         << DescribeWindows(program_.pid);
    return started ? copy : nullptr;
  }
};

// What a small file holds; a large one is named by its size instead, so
// that a replaced gigabyte is not read into memory.
std::string Content(const std::wstring& path) {
  uint64_t size = FileSize(path);
  std::string bytes;
  if (size > (1 << 20)) return "<" + std::to_string(size) + " bytes>";
  return ReadBytes(path, &bytes) ? bytes : "<missing>";
}

struct Sample {
  double answer_ms;
  int position;
  bool after_copied;
};

// A second process sends WM_NULL every 10 ms while the big file is copied;
// the entry after it must wait for its own step.
TEST_F(ResponsiveCopyTest, AnswersAndShowsProgressThroughALargeFile) {
  WriteSettings({L"[SYSTEM]", kBig, L"after.dat"});
  PutBigSource();
  PutSource(L"after.dat", "new after");
  WriteRecord(game_);
  StartUpdate();
  HWND copy = AwaitBigFileUnderWay();
  ASSERT_TRUE(copy);
  const std::wstring status = StatusText(Source(kBig), Dest(kBig));

  std::vector<Sample> samples;
  int end = 0;
  bool status_kept = true;
  while (Exists(Temp())) {
    Sample sample = {0, -1, false};
    // The entry after first, then the file in progress: after.dat seen
    // while the temporary copy is still there was copied inside this step.
    sample.after_copied = Exists(Dest(L"after.dat"));
    if (!Exists(Temp())) break;
    if (!TimeAnswer(copy, 5000, &sample.answer_ms)) break;
    if (!ReadProgress(copy, &sample.position, &end)) sample.position = -1;
    // Finished meanwhile: the next step follows at once now, and the dialog
    // may already be gone, so this reading says nothing about the file.
    if (!Exists(Temp())) break;
    if (Exists(Temp()) && ItemText(copy, 1009) != status) status_kept = false;
    samples.push_back(sample);
    Sleep(kSampleEveryMs);
  }
  double worst = 0;
  int moves = 0;
  bool backwards = false, second_step = false, no_bar = false;
  for (size_t i = 0; i < samples.size(); ++i) {
    worst = std::max(worst, samples[i].answer_ms);
    second_step |= samples[i].after_copied;
    no_bar |= samples[i].position < 0;
    if (i > 0 && samples[i].position > samples[i - 1].position) ++moves;
    if (i > 0 && samples[i].position < samples[i - 1].position) backwards = true;
  }
  printf("worst WM_NULL answer %.1f ms over %zu samples; the bar moved %d times\n", worst,
         samples.size(), moves);
  size_t late = 0;
  for (const Sample& sample : samples) late += sample.answer_ms > kSlowAnswerMs ? 1 : 0;
  EXPECT_LE(late, kLateAnswersAllowed)
      << "WM_NULL answers over " << kSlowAnswerMs << " ms, of " << samples.size() << " samples";
  EXPECT_LE(worst, kLatestAnswerMs) << "worst WM_NULL answer over " << samples.size() << " samples";
  EXPECT_FALSE(no_bar) << "no progress bar to read";
  EXPECT_FALSE(backwards) << "the bar moved back";
  EXPECT_GE(moves, 3) << "the bar did not move through the file";
  // The bar spans the bytes of both entries, counted when the dialog began.
  EXPECT_EQ(static_cast<uint64_t>(end), (kBigMiB << 20) + 9);
  EXPECT_FALSE(second_step) << "after.dat was copied while the big file was on its way";
  EXPECT_TRUE(status_kept) << "the status text left the big file while it was copied";
  ASSERT_GE(samples.size(), 10u) << "the big file went by too fast to be watched";

  ExpectCompletion();
  EXPECT_EQ(FileSize(Dest(kBig)), kBigMiB << 20);
  for (uint64_t mib : {uint64_t{0}, uint64_t{1}, kBigMiB / 2, kBigMiB - 1}) {
    EXPECT_EQ(ReadAt(Dest(kBig), mib << 20, Stamp(mib).size()), Stamp(mib)) << "MiB " << mib;
  }
  EXPECT_EQ(Content(Dest(L"after.dat")), "new after");
}

// The close box while the big file is in its first half: the file stops at
// its next chunk, and everything is as if the close had come before its step.
TEST_F(ResponsiveCopyTest, CloseBoxStopsALargeFileAtOnce) {
  WriteSettings({L"[SYSTEM]", L"first.dat", kBig, L"after.dat"});
  PutSource(L"first.dat", "new first");
  PutBigSource();
  PutSource(L"after.dat", "new after");
  WriteRecord(game_);
  const uint64_t first_size = 9;
  const uint64_t half_way = first_size + (kBigMiB << 20) / 2;

  // The bar counts the bytes copied: read right before the press, it shows
  // that most of the file is still to come. The temporary copy alone does
  // not, for it is still there while the finished file is moved into place.
  HWND copy = nullptr;
  int position = -1, end = 0;
  std::string missed;
  for (int attempt = 0; attempt < kAttempts && !copy; ++attempt) {
    for (const wchar_t* entry : {L"first.dat", kBig, L"after.dat"})
      DeleteFileW(Dest(entry).c_str());
    DeleteFileW(Temp().c_str());
    ASSERT_TRUE(WriteBytes(Dest(kBig), "old big"));
    ASSERT_TRUE(WriteBytes(Dest(L"after.dat"), "old after"));
    StartUpdate();
    HWND under_way = AwaitBigFileUnderWay();
    ASSERT_TRUE(under_way);
    if (ReadProgress(under_way, &position, &end) && Exists(Temp()) &&
        static_cast<uint64_t>(position) < half_way) {
      copy = under_way;
      break;
    }
    missed += " " + std::to_string(position);
    Stop(&program_);
  }
  ASSERT_TRUE(copy) << "premise not met: the big file was never seen in its first half (bar at"
                    << missed << " of " << end << "); the case proves nothing";

  DWORD pressed = GetTickCount();
  ASSERT_TRUE(PressCloseBox(copy));
  EXPECT_TRUE(WaitGone(copy, kGoneWithinMs))
      << "the dialog was still there " << kGoneWithinMs << " ms after the close";
  DWORD gone_after = GetTickCount() - pressed;
  // A message box would keep the program from ending.
  ExpectExitCode1();
  EXPECT_EQ(FindWindowOf(program_.pid, Kind::kMessage), nullptr);

  EXPECT_EQ(Content(Dest(L"first.dat")), "new first");
  EXPECT_EQ(Content(Dest(kBig)), "old big")
      << "closed at bar position " << position << " of " << end << "; the dialog went after "
      << gone_after << " ms";
  EXPECT_FALSE(Exists(Temp())) << "temporary copy left";
  EXPECT_EQ(Content(Dest(L"after.dat")), "old after");
}

// A log-off in the middle of the big file: WM_ENDSESSION, and then Windows
// ends the process at once. The temporary copy must not stay behind, and
// the old file stays as it was.
TEST_F(ResponsiveCopyTest, SessionEndLeavesNoTemporaryCopy) {
  WriteSettings({L"[SYSTEM]", kBig, L"after.dat"});
  PutBigSource();
  PutSource(L"after.dat", "new after");
  ASSERT_TRUE(WriteBytes(Dest(kBig), "old big"));
  WriteRecord(game_);
  StartUpdate();
  HWND copy = AwaitBigFileUnderWay();
  ASSERT_TRUE(copy);
  ASSERT_TRUE(Exists(Temp())) << "the big file was done before the session end; proves nothing";
  DWORD_PTR answer = 0;
  ASSERT_TRUE(
      SendMessageTimeoutW(copy, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_BLOCK, 5000, &answer));
  // As Windows does once the answer is in.
  TerminateProcess(program_.process, 0);
  DWORD code = 0;
  ASSERT_TRUE(WaitExit(program_, kWaitMs, &code));
  EXPECT_FALSE(Exists(Temp())) << "temporary copy left after the session ended";
  EXPECT_EQ(Content(Dest(kBig)), "old big");
  EXPECT_FALSE(Exists(Dest(L"after.dat")));
}

}  // namespace
}  // namespace e2e
