// One end-to-end case: a fresh medium folder and game folder, the install
// record under a key of its own, and update.exe driven from outside.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "driver.h"

namespace e2e {

constexpr DWORD kWaitMs = 20000;

// The program's texts, as the user must see them.
extern const wchar_t kCaptionFailed[];
extern const wchar_t kTextComplete[];
extern const wchar_t kTextFolderMissing[];
extern const wchar_t kTextNotAFolder[];
extern const wchar_t kCaptionFolderName[];
extern const wchar_t kCaptionCopyFailed[];
std::wstring NotInstalledText(const std::wstring& title_old);
std::wstring UpdateCaption(const std::wstring& title);
std::wstring IncompleteText(int count);
std::wstring CopyFailedText(const std::wstring& source, const std::wstring& dest);
std::wstring StatusText(const std::wstring& source, const std::wstring& dest);

// Ends the name of the program's temporary copies. Written here rather
// than taken from the program, so that a changed name is noticed.
extern const wchar_t kTempSuffix[];

// Files.
bool MakeFolders(const std::wstring& path);
bool WriteBytes(const std::wstring& path, const std::string& bytes);
bool ReadBytes(const std::wstring& path, std::string* bytes);
bool Exists(const std::wstring& path);
DWORD Attributes(const std::wstring& path);
void DeleteTree(const std::wstring& path);
uint64_t FileSize(const std::wstring& path);
// count bytes read at offset, or "" when they cannot be read.
std::string ReadAt(const std::wstring& path, uint64_t offset, size_t count);
// A file of megabytes MiB of real bytes (not a hole, so that copying it takes
// its time), each MiB beginning with its number as text: Stamp(i).
bool WriteStampedFile(const std::wstring& path, uint64_t megabytes);
std::string Stamp(uint64_t mib);
std::wstring UpdateExePath();

class UpdateRun : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // update.ini with the test's titles and key, the file-type list [SYSTEM],
  // [DATA], and file_lines as the FILE list.
  void WriteSettings(const std::vector<std::wstring>& file_lines);
  // A file of the medium, at entry below the medium's GAME folder.
  void PutSource(const std::wstring& entry, const std::string& bytes);
  std::wstring Source(const std::wstring& entry) const;
  std::wstring Dest(const std::wstring& entry) const;

  std::wstring RecordKey() const;  // below HKEY_CURRENT_USER
  void WriteRecord(const std::wstring& game_path);
  void WriteRecordValue(const std::wstring& name, DWORD type, const void* data, DWORD size);
  void DeleteRecord();
  // Reads GAMEPATH back; false when the key or the value is missing.
  bool ReadRecord(std::wstring* game_path, DWORD* value_count);

  void Launch();
  HWND AwaitUpdate();
  // Waits for the next message box and reads it.
  MessageBoxView AwaitMessage();
  // Presses OK on box and waits for it to close.
  void Dismiss(const MessageBoxView& box);
  // Waits for the program to end and expects exit code 1, with no window
  // left waiting for the user.
  void ExpectExitCode1();
  // Start pressed with the recorded folder: waits for UPDATE and presses OK.
  void StartUpdate();
  // Starts the update and freezes it (Freeze) once started() holds, with
  // early() still holding while it is frozen: the copy is then amid its
  // files, and stays there until Thaw. A run that got past early() first is
  // ended, reset() runs and the update starts again, a few times at most.
  // Returns the copy dialog, or nullptr with a failure added.
  HWND StartAndFreezeAmidCopy(const std::function<bool()>& started,
                              const std::function<bool()>& early,
                              const std::function<void()>& reset);
  // Opens the folder browser from the UPDATE dialog, picks folder in it and
  // presses OK.
  void PickInBrowser(HWND dialog, const std::wstring& folder);
  // The closing message that a whole run ends with, checked and dismissed.
  void ExpectCompletion();
  void ExpectIncomplete(int failures);

  std::wstring name_;
  std::wstring root_;
  std::wstring medium_;
  std::wstring game_;
  std::wstring reg_t_;
  std::wstring title_ = L"試験ゲーム";
  std::wstring title_old_ = L"旧作ゲーム体験版";
  Program program_;
};

}  // namespace e2e
