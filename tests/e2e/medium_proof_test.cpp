// A medium that proves itself: update.sha256 and the program's fingerprint,
// with the real update.exe on media packed, stamped, signed and then
// tampered with.
#include <algorithm>
#include <functional>

#include "scenario.h"
#include "snapshot.h"
#include "verify/fingerprint_slot.h"
#include "settings/settings_file.h"
#include "verify/hash_list.h"
#include "win/sha256.h"

namespace e2e {
namespace {

const wchar_t kTextMediumDamaged[] = L"ＵＰＤＡＴＥデータが壊れているか、書き換えられています。";

std::wstring FileDamagedText(const std::wstring& medium_path) {
  return medium_path + L"は壊れているか、書き換えられています。";
}

std::string Sha256Bytes(const std::string& bytes) {
  Sha256 state;
  StartSha256(&state);
  AddToSha256(&state, bytes.data(), bytes.size());
  unsigned char digest[kSha256Size] = {};
  EXPECT_TRUE(FinishSha256(&state, digest));
  return std::string(reinterpret_cast<const char*>(digest), kSha256Size);
}

// Makes the file length bytes long, the bytes past its end a hole.
bool SetLength(const std::wstring& path, uint64_t length) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(length);
  bool set = SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && SetEndOfFile(file);
  CloseHandle(file);
  return set && FileSize(path) == length;
}

std::string Hex(const std::string& digest) {
  char hex[2 * kSha256Size + 1];
  FormatDigest(reinterpret_cast<const unsigned char*>(digest.data()), hex);
  return hex;
}

// The paths below folder, sorted: what a run added or removed shows.
std::vector<std::wstring> Names(const std::wstring& folder) {
  std::vector<std::wstring> names;
  for (const auto& [path, state] : TakeSnapshot(folder)) names.push_back(path);
  return names;
}

enum class Tamper {
  kNone,
  kOneByteOfAFile,         // b.dat's second byte
  kLineAddedToSettings,    // an entry the publisher never packed
  kLineAddedAndListFixed,  // the same, with update.sha256 rewritten to match
  kLineAddedIniRelisted,   // the same, update.ini's line rewritten, the entry left out
  kListRemoved,
  kFileFromAnotherMedium,       // b.dat of another packed medium
  kListOverItsLargestSize,      // well-formed lines, then a length past the largest list
  kSettingsOfTheLargestSize,    // update.ini padded with comments to its largest size
  kSettingsOverTheLargestSize,  // the same, one byte more
  kVersionsListed,              // a version record of the game's files, listed
  kVersionsAltered,             // the same, a byte of it changed after listing
  kVersionsListedButMissing,    // the same, the record then removed
  kVersionsUnlisted,            // a record of nonsense that the list does not name
};

enum class Outcome { kComplete, kFileRefused, kRefusedAtStart };

struct ProofCase {
  const char* name;
  bool packed;   // update.sha256 written
  bool stamped;  // the medium's own update.exe, bound to it
  Tamper tamper;
  Outcome outcome;
  bool signed_too = false;  // the medium's update.exe has a certificate table
};

const ProofCase kCases[] = {
    {"PackedAndStamped", true, true, Tamper::kNone, Outcome::kComplete},
    {"OneByteChanged", true, true, Tamper::kOneByteOfAFile, Outcome::kFileRefused},
    {"LineAddedToSettings", true, true, Tamper::kLineAddedToSettings, Outcome::kRefusedAtStart},
    {"ListRewrittenToMatch", true, true, Tamper::kLineAddedAndListFixed, Outcome::kRefusedAtStart},
    {"ListRemoved", true, true, Tamper::kListRemoved, Outcome::kRefusedAtStart},
    {"FileOfAnotherMedium", true, true, Tamper::kFileFromAnotherMedium, Outcome::kFileRefused},
    {"HandMade", false, false, Tamper::kNone, Outcome::kComplete},
    {"UnstampedOneByteChanged", true, false, Tamper::kOneByteOfAFile, Outcome::kFileRefused},
    {"UnstampedLineAdded", true, false, Tamper::kLineAddedToSettings, Outcome::kRefusedAtStart},
    {"UnstampedEntryNotListed", true, false, Tamper::kLineAddedIniRelisted,
     Outcome::kRefusedAtStart},
    {"UnstampedListOverItsLargestSize", true, false, Tamper::kListOverItsLargestSize,
     Outcome::kRefusedAtStart},
    // Signed but bound to no list: the publisher's name would stand on any
    // medium, so the program refuses every one, a well-formed list included.
    {"SignedUnboundHandMade", false, false, Tamper::kNone, Outcome::kRefusedAtStart, true},
    {"SignedUnboundPacked", true, false, Tamper::kNone, Outcome::kRefusedAtStart, true},
    {"StampedThenSigned", true, true, Tamper::kNone, Outcome::kComplete, true},
    {"StampedThenSignedOneByteChanged", true, true, Tamper::kOneByteOfAFile, Outcome::kFileRefused,
     true},
    {"HandMadeSettingsOfTheLargestSize", false, false, Tamper::kSettingsOfTheLargestSize,
     Outcome::kComplete},
    {"HandMadeSettingsOverTheLargestSize", false, false, Tamper::kSettingsOverTheLargestSize,
     Outcome::kRefusedAtStart},
    {"VersionRecordListed", true, false, Tamper::kVersionsListed, Outcome::kComplete},
    {"VersionRecordAltered", true, false, Tamper::kVersionsAltered, Outcome::kRefusedAtStart},
    {"VersionRecordListedButMissing", true, false, Tamper::kVersionsListedButMissing,
     Outcome::kRefusedAtStart},
    {"VersionRecordUnlisted", true, false, Tamper::kVersionsUnlisted, Outcome::kComplete},
};

const std::vector<std::wstring> kEntries = {L"a.dat", L"sub\\b.dat", L"データ\\表.dat"};

// update.sha256 as update-pack writes it for the medium's update.ini and the
// files of kEntries.
std::string ListOf(const std::wstring& medium) {
  std::string ini;
  EXPECT_TRUE(ReadBytes(medium + L"\\update.ini", &ini));
  std::string list = Hex(Sha256Bytes(ini)) + "  update.ini\n";
  for (const std::wstring& entry : kEntries) {
    std::string bytes;
    EXPECT_TRUE(ReadBytes(medium + L"\\GAME\\" + entry, &bytes));
    std::string path = Utf8(L"GAME/" + entry);
    std::replace(path.begin(), path.end(), '\\', '/');
    list += Hex(Sha256Bytes(bytes)) + "  " + path + "\n";
  }
  return list;
}

void PrintTo(const ProofCase& c, std::ostream* os) {
  *os << c.name;
}

class MediumProofTest : public UpdateRun, public ::testing::WithParamInterface<ProofCase> {
 protected:
  std::string NewBytes(size_t i) const { return "new bytes of file " + std::to_string(i); }
  std::string OldBytes(size_t i) const { return "old " + std::to_string(i); }

  // update.ini, the files and, when packed, update.sha256 as update-pack
  // writes them.
  void Pack(const std::vector<std::wstring>& lines) {
    WriteSettings(lines);
    for (size_t i = 0; i < kEntries.size(); ++i) PutSource(kEntries[i], NewBytes(i));
    if (GetParam().packed) WriteList();
  }

  void WriteList() {
    list_ = ListOf(medium_);
    ASSERT_TRUE(WriteBytes(medium_ + L"\\update.sha256", list_));
  }

  // The medium's own update.exe, its slot filled with the list's digest.
  void Stamp() {
    std::string program;
    ASSERT_TRUE(ReadBytes(UpdateExePath(), &program));
    size_t offset = 0;
    ASSERT_EQ(FindFingerprintSlots(reinterpret_cast<const unsigned char*>(program.data()),
                                   program.size(), &offset),
              1u);
    program.replace(offset, kFingerprintSize, Sha256Bytes(list_));
    exe_ = medium_ + L"\\update.exe";
    ASSERT_TRUE(WriteBytes(exe_, program));
  }

  // The medium's update.exe as a signing tool leaves it: a certificate
  // table at the end of the file, named by the header's 5th data directory.
  // Windows does not check it when it starts a program; the updater only
  // sees that it is there. A program signed for real (UPDATE_EXE, as
  // scripts/wine/run-sign.sh gives it) is taken as it is.
  void Sign() {
    std::string program;
    ASSERT_TRUE(ReadBytes(exe_.empty() ? UpdateExePath() : exe_, &program));
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(program.data());
    if (!HasAuthenticodeSignature(bytes, program.size())) {
      uint32_t pe = Little32(program, 0x3C);
      bool wide = static_cast<unsigned char>(program[pe + 24]) == 0x0B &&
                  static_cast<unsigned char>(program[pe + 25]) == 0x02;
      size_t directory = pe + 24 + (wide ? 112 : 96) + 4 * 8;
      program.resize((program.size() + 7) & ~size_t{7}, '\0');
      // WIN_CERTIFICATE: length, revision 2.0, PKCS#7 signed data.
      const char kTable[] = "\x18\0\0\0\0\x02\x02\0not a signature!";
      std::string table(kTable, sizeof kTable - 1);
      PutLittle32(&program, directory, static_cast<uint32_t>(program.size()));
      PutLittle32(&program, directory + 4, static_cast<uint32_t>(table.size()));
      program += table;
      ASSERT_TRUE(HasAuthenticodeSignature(reinterpret_cast<const unsigned char*>(program.data()),
                                           program.size()));
    }
    exe_ = medium_ + L"\\update.exe";
    ASSERT_TRUE(WriteBytes(exe_, program));
  }

  // update.versions naming the game's files as they are before the update,
  // listed on the line after update.ini's, as update-pack lists it.
  void WriteVersionRecord() {
    std::vector<std::string> lines;
    for (size_t i = 0; i < kEntries.size(); ++i) {
      std::string path = Utf8(kEntries[i]);
      std::replace(path.begin(), path.end(), '\\', '/');
      lines.push_back(Hex(Sha256Bytes(OldBytes(i))) + " " + std::to_string(OldBytes(i).size()) +
                      " " + path + "\n");
    }
    std::sort(lines.begin(), lines.end(), [](const std::string& a, const std::string& b) {
      return a.substr(a.find(' ', 65) + 1) < b.substr(b.find(' ', 65) + 1);
    });
    std::string record = "version 1.00\n";
    for (const std::string& line : lines) record += line;
    ASSERT_TRUE(WriteBytes(medium_ + L"\\update.versions", record));
    size_t after_ini = list_.find('\n') + 1;
    list_.insert(after_ini, Hex(Sha256Bytes(record)) + "  update.versions\n");
    ASSERT_TRUE(WriteBytes(medium_ + L"\\update.sha256", list_));
  }

  static uint32_t Little32(const std::string& bytes, size_t at) {
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i) {
      value |= uint32_t{static_cast<unsigned char>(bytes[at + i])} << (8 * i);
    }
    return value;
  }

  static void PutLittle32(std::string* bytes, size_t at, uint32_t value) {
    for (size_t i = 0; i < 4; ++i) (*bytes)[at + i] = static_cast<char>(value >> (8 * i));
  }

  void ApplyTamper(Tamper tamper, std::vector<std::wstring>* lines) {
    std::string bytes;
    switch (tamper) {
      case Tamper::kNone:
        break;
      case Tamper::kOneByteOfAFile:
        ASSERT_TRUE(ReadBytes(Source(kEntries[1]), &bytes));
        bytes[1] ^= 0x01;
        ASSERT_TRUE(WriteBytes(Source(kEntries[1]), bytes));
        break;
      case Tamper::kLineAddedToSettings:
      case Tamper::kLineAddedAndListFixed:
      case Tamper::kLineAddedIniRelisted:
        lines->push_back(L"planted.dll");
        PutSource(L"planted.dll", "not from the publisher");
        WriteSettings(*lines);
        // update.ini's own line now matches; the planted entry has none.
        if (tamper == Tamper::kLineAddedIniRelisted) WriteList();
        if (tamper == Tamper::kLineAddedAndListFixed) {
          WriteList();
          std::string planted = Hex(Sha256Bytes("not from the publisher")) + "  GAME/planted.dll\n";
          list_ += planted;
          ASSERT_TRUE(WriteBytes(medium_ + L"\\update.sha256", list_));
        }
        break;
      case Tamper::kListRemoved:
        ASSERT_TRUE(DeleteFileW((medium_ + L"\\update.sha256").c_str()));
        break;
      case Tamper::kFileFromAnotherMedium:
        // Another release's b.dat: a whole file as packed, of the same name.
        ASSERT_TRUE(WriteBytes(Source(kEntries[1]), "b.dat of the release before"));
        break;
      case Tamper::kListOverItsLargestSize:
        // A list is read whole into a fixed buffer; a larger one is refused
        // by its size, before a byte of it is read. So the bytes past the
        // list's well-formed lines are left a hole: a hundred megabytes
        // written out would only slow the case down.
        ASSERT_TRUE(WriteBytes(medium_ + L"\\update.sha256", list_));
        ASSERT_TRUE(SetLength(medium_ + L"\\update.sha256", kMaxHashListSize + 1));
        break;
      case Tamper::kSettingsOfTheLargestSize:
      case Tamper::kSettingsOverTheLargestSize: {
        // update.ini is read whole into a buffer of its largest size: a larger
        // one is refused before anything is parsed, on a medium without a
        // list too.
        size_t size = kMaxSettingsSize + (tamper == Tamper::kSettingsOverTheLargestSize ? 1 : 0);
        ASSERT_TRUE(ReadBytes(medium_ + L"\\update.ini", &bytes));
        const std::string comment = "# " + std::string(61, 'c') + "\n";
        while (bytes.size() + comment.size() <= size) bytes += comment;
        bytes += std::string(size - bytes.size(), '#');
        ASSERT_TRUE(WriteBytes(medium_ + L"\\update.ini", bytes));
        break;
      }
      case Tamper::kVersionsListed:
      case Tamper::kVersionsAltered:
      case Tamper::kVersionsListedButMissing:
        WriteVersionRecord();
        if (tamper == Tamper::kVersionsListedButMissing) {
          ASSERT_TRUE(DeleteFileW((medium_ + L"\\update.versions").c_str()));
        } else if (tamper == Tamper::kVersionsAltered) {
          // Another size for a.dat: a record that would let other bytes pass.
          ASSERT_TRUE(ReadBytes(medium_ + L"\\update.versions", &bytes));
          size_t size_at = bytes.find(' ', bytes.find('\n')) + 1;
          bytes[size_at] = bytes[size_at] == '9' ? '8' : '9';
          ASSERT_TRUE(WriteBytes(medium_ + L"\\update.versions", bytes));
        }
        break;
      case Tamper::kVersionsUnlisted:
        ASSERT_TRUE(WriteBytes(medium_ + L"\\update.versions", "not a record\r\n"));
        break;
    }
  }

  bool KeyExists() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, RecordKey().c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
      return false;
    }
    RegCloseKey(key);
    return true;
  }

  std::string list_;
  std::wstring exe_;
};

TEST_P(MediumProofTest, UpdatesOnlyWhatThePublisherPacked) {
  const ProofCase& c = GetParam();
  std::vector<std::wstring> lines = {L"[SYSTEM]"};
  lines.insert(lines.end(), kEntries.begin(), kEntries.end());
  // A type the list does not name makes the parser show a box: a refusal
  // that comes before the parse is the first box.
  if (c.signed_too && c.outcome == Outcome::kRefusedAtStart) lines.push_back(L"[NOSUCH]");
  Pack(lines);
  if (c.stamped) Stamp();
  if (c.signed_too) Sign();
  for (size_t i = 0; i < kEntries.size(); ++i) {
    std::wstring dest = Dest(kEntries[i]);
    ASSERT_TRUE(MakeFolders(dest.substr(0, dest.find_last_of(L'\\'))));
    ASSERT_TRUE(WriteBytes(dest, OldBytes(i)));
  }
  ApplyTamper(c.tamper, &lines);
  const std::vector<std::wstring> game_before = Names(game_);
  const std::vector<std::wstring> medium_before = Names(medium_);
  if (c.outcome != Outcome::kRefusedAtStart) WriteRecord(game_);

  ASSERT_TRUE(Start(exe_.empty() ? UpdateExePath() : exe_, medium_, &program_));
  if (c.outcome == Outcome::kRefusedAtStart) {
    MessageBoxView box = AwaitMessage();
    EXPECT_EQ(Utf8(box.text), Utf8(kTextMediumDamaged));
    EXPECT_EQ(Utf8(box.caption), Utf8(kCaptionFailed));
    EXPECT_EQ(box.owner, nullptr);
    Dismiss(box);
    ExpectExitCode1();
    // Nothing written: not even the empty key the install record's reader
    // makes when it is missing.
    EXPECT_FALSE(KeyExists());
  } else {
    HWND dialog = AwaitUpdate();
    ASSERT_TRUE(dialog);
    ASSERT_TRUE(PostCommand(dialog, IDOK));
    if (c.outcome == Outcome::kFileRefused) {
      MessageBoxView box = AwaitMessage();
      EXPECT_EQ(Utf8(box.text), Utf8(FileDamagedText(L"GAME\\" + kEntries[1])));
      EXPECT_EQ(Utf8(box.caption), Utf8(kCaptionCopyFailed));
      HWND copy = FindWindowOf(program_.pid, Kind::kCopy);
      EXPECT_TRUE(copy != nullptr && box.owner == copy) << "owned by FILECOPY";
      Dismiss(box);
      ExpectIncomplete(1);
    } else {
      ExpectCompletion();
    }
  }

  for (size_t i = 0; i < kEntries.size(); ++i) {
    bool refused =
        c.outcome == Outcome::kRefusedAtStart || (c.outcome == Outcome::kFileRefused && i == 1);
    std::string bytes;
    EXPECT_TRUE(ReadBytes(Dest(kEntries[i]), &bytes));
    EXPECT_EQ(bytes, refused ? OldBytes(i) : NewBytes(i)) << Utf8(kEntries[i]);
  }
  // No temporary copy left, nothing planted: the game folder holds the
  // names it held, and the medium is only read.
  EXPECT_EQ(Names(game_), game_before);
  EXPECT_EQ(Names(medium_), medium_before);
}

INSTANTIATE_TEST_SUITE_P(Media, MediumProofTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<ProofCase>& info) {
                           return info.param.name;
                         });

// A medium in a folder whose name code page 932 cannot spell. Spelled with
// look-alikes, José is Jose and update¥v2 is the folder v2 inside update: a
// decoy there, when the case has one, holds other bytes under the same names.
struct FolderNameCase {
  const char* name;
  const wchar_t* folder;  // the medium, below the test's root
  const wchar_t* decoy;   // the look-alike folder, or nullptr
  bool packed;
};

const FolderNameCase kFolderNameCases[] = {
    {"PackedUnderAccentedName", L"José", nullptr, true},
    {"PackedBesideLookAlike", L"José", L"Jose", true},
    {"HandMadeUnderYenSign", L"update¥v2", L"update\\v2", false},
};

void PrintTo(const FolderNameCase& c, std::ostream* os) {
  *os << c.name;
}

class MediumFolderNameTest : public UpdateRun,
                             public ::testing::WithParamInterface<FolderNameCase> {
 protected:
  // update.ini and kEntries' files, each holding bytes + its index.
  void MakeMedium(const std::wstring& folder, const std::string& bytes, bool packed) {
    medium_ = folder;
    ASSERT_TRUE(MakeFolders(medium_ + L"\\GAME"));
    std::vector<std::wstring> lines = {L"[SYSTEM]"};
    lines.insert(lines.end(), kEntries.begin(), kEntries.end());
    WriteSettings(lines);
    for (size_t i = 0; i < kEntries.size(); ++i) PutSource(kEntries[i], bytes + std::to_string(i));
    if (packed) {
      ASSERT_TRUE(WriteBytes(medium_ + L"\\update.sha256", ListOf(medium_)));
    }
  }
};

TEST_P(MediumFolderNameTest, FilesComeFromTheMediumsOwnFolder) {
  const FolderNameCase& c = GetParam();
  if (c.decoy != nullptr) {
    ASSERT_NO_FATAL_FAILURE(MakeMedium(root_ + L"\\" + c.decoy, "decoy ", c.packed));
  }
  ASSERT_NO_FATAL_FAILURE(MakeMedium(root_ + L"\\" + c.folder, "medium ", c.packed));
  for (const std::wstring& entry : kEntries) {
    std::wstring dest = Dest(entry);
    ASSERT_TRUE(MakeFolders(dest.substr(0, dest.find_last_of(L'\\'))));
    ASSERT_TRUE(WriteBytes(dest, "old"));
  }
  WriteRecord(game_);
  StartUpdate();
  ExpectCompletion();
  for (size_t i = 0; i < kEntries.size(); ++i) {
    std::string bytes;
    EXPECT_TRUE(ReadBytes(Dest(kEntries[i]), &bytes));
    EXPECT_EQ(bytes, "medium " + std::to_string(i)) << Utf8(kEntries[i]);
  }
}

INSTANTIATE_TEST_SUITE_P(Media, MediumFolderNameTest, ::testing::ValuesIn(kFolderNameCases),
                         [](const ::testing::TestParamInfo<FolderNameCase>& info) {
                           return info.param.name;
                         });

// The texts name the medium's folder with "?" for what code page 932 cannot
// spell; the files still come from it. A read-only destination keeps the
// copy dialog and its status on screen behind the failure box.
class MediumFolderShownTest : public UpdateRun {};

TEST_F(MediumFolderShownTest, WithQuestionMarkWhileItsFilesAreCopied) {
  medium_ = root_ + L"\\José";
  ASSERT_TRUE(MakeFolders(medium_ + L"\\GAME"));
  WriteSettings({L"[SYSTEM]", L"a.dat", L"b.dat"});
  PutSource(L"a.dat", "new A");
  PutSource(L"b.dat", "new B");
  ASSERT_TRUE(WriteBytes(Dest(L"a.dat"), "old A"));
  ASSERT_TRUE(SetFileAttributesW(Dest(L"a.dat").c_str(), FILE_ATTRIBUTE_READONLY));
  WriteRecord(game_);
  StartUpdate();
  const std::wstring shown = root_ + L"\\Jos?\\GAME\\a.dat";
  MessageBoxView box = AwaitMessage();
  EXPECT_EQ(Utf8(box.text), Utf8(CopyFailedText(shown, Dest(L"a.dat"))));
  HWND copy = FindWindowOf(program_.pid, Kind::kCopy);
  ASSERT_TRUE(copy) << DescribeWindows(program_.pid);
  EXPECT_EQ(Utf8(ItemText(copy, 1009)), Utf8(StatusText(shown, Dest(L"a.dat"))));
  Dismiss(box);
  ExpectIncomplete(1);
  std::string bytes;
  EXPECT_TRUE(ReadBytes(Dest(L"b.dat"), &bytes) && bytes == "new B") << bytes;
}

}  // namespace
}  // namespace e2e
