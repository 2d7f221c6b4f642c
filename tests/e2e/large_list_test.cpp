// Lists of the size of today's games: hundreds of entries, Japanese paths far
// past 31 bytes, some at the longest an entry holds and past MAX_PATH once
// joined to the game folder.
#include "scenario.h"
#include "snapshot.h"

namespace e2e {
namespace {

// The copy takes its time per file; the deadline grows with the list.
constexpr DWORD kCompletionWaitMs = 180000;

// Long paths for the harness's own file calls, as the program makes them.
std::wstring Long(const std::wstring& path) {
  return L"\\\\?\\" + path;
}

std::string BytesOf(const std::wstring& entry) {
  return "new bytes of " + Utf8(entry);
}

// Code page 932 bytes of an entry: two for each character past ASCII.
size_t Cp932Length(const std::wstring& entry) {
  size_t length = 0;
  for (wchar_t c : entry) length += c < 0x80 ? 1 : 2;
  return length;
}

// Names of at most 80 characters keep each within what a Linux file system
// under Wine holds (255 bytes of UTF-8).
std::wstring LongEntry(const std::wstring& unit, size_t length, int number) {
  std::wstring entry = L"長い\\" + std::to_wstring(number) + L"\\";
  std::wstring name;
  while (Cp932Length(entry + name + unit) + 4 <= length) {
    if (name.size() + unit.size() > 80) {
      entry += name + L"\\";
      name.clear();
      continue;
    }
    name += unit;
  }
  entry += name;
  while (Cp932Length(entry) + 4 < length) entry += L"x";
  return entry + L".dat";
}

class LargeListTest : public UpdateRun {
 protected:
  void PutLong(const std::wstring& entry, const std::string& bytes) {
    std::wstring path = Long(Source(entry));
    ASSERT_TRUE(MakeFolders(path.substr(0, path.find_last_of(L'\\'))));
    ASSERT_TRUE(WriteBytes(path, bytes)) << Utf8(path);
  }

  void ExpectCompletionWithin(DWORD timeout_ms) {
    MessageBoxView box;
    ASSERT_TRUE(WaitMessageBox(program_.pid, timeout_ms, &box)) << DescribeWindows(program_.pid);
    EXPECT_EQ(Utf8(box.text), Utf8(kTextComplete));
    Dismiss(box);
    ExpectExitCode1();
  }
};

// 300 entries were 44 too many once, and every path here was too long.
TEST_F(LargeListTest, HandMadeListOfThreeHundredLongPathsInstallsWhole) {
  std::vector<std::wstring> entries;
  for (int i = 0; i < 296; ++i) {
    entries.push_back(L"data\\キャラクター_0" + std::to_wstring(i % 5) + L"\\表情差分_ソ\\立ち絵_" +
                      std::to_wstring(10000 + i) + L".png");
  }
  // At the longest an entry holds, in one-byte and two-byte characters: past
  // MAX_PATH once joined to the game folder.
  entries.push_back(LongEntry(L"a", 259, 1));
  entries.push_back(LongEntry(L"表", 259, 2));
  entries.push_back(LongEntry(L"ｶﾀｶﾅ", 259, 3));
  entries.push_back(LongEntry(L"b", 258, 4));
  for (size_t i = entries.size() - 4; i < entries.size(); ++i) {
    ASSERT_GE(Cp932Length(entries[i]), 258u) << Utf8(entries[i]);
    ASSERT_LE(Cp932Length(entries[i]), 259u) << Utf8(entries[i]);
  }
  ASSERT_GT(Dest(entries.back()).size(), static_cast<size_t>(MAX_PATH));
  std::vector<std::wstring> lines = {L"[DATA]"};
  for (const std::wstring& entry : entries) {
    lines.push_back(entry);
    PutLong(entry, BytesOf(entry));
  }
  WriteSettings(lines);
  // Old files of some, to be replaced.
  for (size_t i = 0; i < entries.size(); i += 37) {
    std::wstring dest = Long(Dest(entries[i]));
    ASSERT_TRUE(MakeFolders(dest.substr(0, dest.find_last_of(L'\\'))));
    ASSERT_TRUE(WriteBytes(dest, "old"));
  }
  WriteRecord(game_);
  StartUpdate();
  ExpectCompletionWithin(kCompletionWaitMs);
  for (const std::wstring& entry : entries) {
    std::string bytes;
    EXPECT_TRUE(ReadBytes(Long(Dest(entry)), &bytes) && bytes == BytesOf(entry)) << Utf8(entry);
  }
  for (const auto& [path, state] : TakeSnapshot(game_)) {
    EXPECT_EQ(path.find(kTempSuffix), std::wstring::npos) << Utf8(path);
  }
}

}  // namespace
}  // namespace e2e
