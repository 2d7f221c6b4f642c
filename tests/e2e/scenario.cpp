#include "scenario.h"

#include <fstream>
#include <sstream>

namespace e2e {

const wchar_t kCaptionFailed[] = L"ＵＰＤＡＴＥの失敗";
const wchar_t kTextComplete[] = L"ＵＰＤＡＴＥが完了しました。";
const wchar_t kTextFolderMissing[] = L"フォルダがありません。";
const wchar_t kTextNotAFolder[] =
    L"フォルダ名と同じファイルが存在します。このフォルダ名は使えません。";
const wchar_t kCaptionFolderName[] = L"フォルダ名の失敗";
const wchar_t kCaptionCopyFailed[] = L"ファイルコピー失敗";

std::wstring NotInstalledText(const std::wstring& title_old) {
  return title_old + L"がインストールされていません";
}

std::wstring UpdateCaption(const std::wstring& title) {
  return title + L"のＵＰＤＡＴＥ";
}

std::wstring IncompleteText(int count) {
  return L"ＵＰＤＡＴＥは終了しましたが、" + std::to_wstring(count) +
         L"個のファイルをコピーできませんでした。";
}

std::wstring CopyFailedText(const std::wstring& source, const std::wstring& dest) {
  return source + L" -> " + dest + L"のファイルコピーができません。";
}

std::wstring StatusText(const std::wstring& source, const std::wstring& dest) {
  return L"インストール元　" + source + L"\nインストール先　" + dest + L"\n";
}

const wchar_t kTempSuffix[] = L".~update-part";

bool MakeFolders(const std::wstring& path) {
  size_t cut = path.find_last_of(L'\\');
  if (cut != std::wstring::npos && cut > 2) MakeFolders(path.substr(0, cut));
  return CreateDirectoryW(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
            written == bytes.size();
  CloseHandle(file);
  return ok;
}

bool ReadBytes(const std::wstring& path, std::string* bytes) {
  HANDLE file =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bytes->clear();
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
    bytes->append(buffer, got);
  CloseHandle(file);
  return true;
}

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

DWORD Attributes(const std::wstring& path) {
  return GetFileAttributesW(path.c_str());
}

void DeleteTree(const std::wstring& path) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      std::wstring child = path + L"\\" + name;
      SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        DeleteTree(child);
      } else {
        DeleteFileW(child.c_str());
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(path.c_str());
}

uint64_t FileSize(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
}

std::string ReadAt(const std::wstring& path, uint64_t offset, size_t count) {
  HANDLE file =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "";
  std::string bytes(count, '\0');
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(offset);
  DWORD got = 0;
  bool ok = SetFilePointerEx(file, at, nullptr, FILE_BEGIN) &&
            ReadFile(file, &bytes[0], static_cast<DWORD>(count), &got, nullptr) && got == count;
  CloseHandle(file);
  return ok ? bytes : "";
}

std::string Stamp(uint64_t mib) {
  return "<MiB " + std::to_string(mib) + ">";
}

bool WriteStampedFile(const std::wstring& path, uint64_t megabytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  std::string block(1 << 20, '\0');
  uint32_t state = 2166136261u;
  for (char& c : block) {
    state = state * 1664525u + 1013904223u;
    c = static_cast<char>(state >> 24);
  }
  bool ok = true;
  for (uint64_t mib = 0; ok && mib < megabytes; ++mib) {
    std::string stamp = Stamp(mib);
    block.replace(0, stamp.size() + 8, stamp + std::string(8, ' '));
    DWORD put = 0;
    ok = WriteFile(file, block.data(), static_cast<DWORD>(block.size()), &put, nullptr) &&
         put == block.size();
  }
  CloseHandle(file);
  return ok;
}

std::wstring UpdateExePath() {
  wchar_t value[1024];
  DWORD size = GetEnvironmentVariableW(L"UPDATE_EXE", value, 1024);
  if (size > 0 && size < 1024) return value;
#ifdef UPDATE_EXE_UNIX
  // Wine maps the Unix root to drive Z:.
  std::string unix_path = UPDATE_EXE_UNIX;
  std::wstring path = L"Z:";
  for (char c : unix_path) path += c == '/' ? L'\\' : static_cast<wchar_t>(c);
  return path;
#else
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring folder = self;
  return folder.substr(0, folder.find_last_of(L'\\')) + L"\\update.exe";
#endif
}

void UpdateRun::SetUp() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "_" + info->name();
  for (char& c : name) {
    if (c == '/') c = '_';
  }
  name_.assign(name.begin(), name.end());
  root_ = L"C:\\e2e\\" + name_;
  medium_ = root_ + L"\\medium";
  game_ = root_ + L"\\game";
  reg_t_ = L"e2e_" + name_;
  DeleteTree(root_);
  ASSERT_TRUE(MakeFolders(medium_ + L"\\GAME"));
  ASSERT_TRUE(MakeFolders(game_));
  DeleteRecord();
  ASSERT_TRUE(Exists(UpdateExePath())) << "update.exe not found: " << Utf8(UpdateExePath());
}

void UpdateRun::TearDown() {
  if (IsRunning(program_)) {
    ADD_FAILURE() << "update.exe still running at the end of the test; its windows:\n"
                  << DescribeWindows(program_.pid);
  }
  Stop(&program_);
}

void UpdateRun::WriteSettings(const std::vector<std::wstring>& file_lines) {
  std::wstring text = L"# settings of an end-to-end case\r\n";
  text += L"#TITLE \"" + title_ + L"\"\r\n";
  text += L"#TITLE_OLD \"" + title_old_ + L"\"\r\n";
  text += L"#REG_T " + reg_t_ + L"\r\n";
  text += L"#INSTALL_LST\r\n[SYSTEM]\r\n[DATA]\r\n##\r\n#FILE\r\n";
  for (const std::wstring& line : file_lines) text += line + L"\r\n";
  text += L"##\r\n";
  ASSERT_TRUE(WriteBytes(medium_ + L"\\update.ini", ToCp932(text)));
}

void UpdateRun::PutSource(const std::wstring& entry, const std::string& bytes) {
  std::wstring path = Source(entry);
  ASSERT_TRUE(MakeFolders(path.substr(0, path.find_last_of(L'\\'))));
  ASSERT_TRUE(WriteBytes(path, bytes)) << Utf8(path);
}

std::wstring UpdateRun::Source(const std::wstring& entry) const {
  return medium_ + L"\\GAME\\" + entry;
}

std::wstring UpdateRun::Dest(const std::wstring& entry) const {
  return game_ + L"\\" + entry;
}

std::wstring UpdateRun::RecordKey() const {
  return L"Software\\CORVID LAMP\\" + reg_t_;
}

void UpdateRun::WriteRecord(const std::wstring& game_path) {
  WriteRecordValue(L"GAMEPATH", REG_SZ, game_path.c_str(),
                   static_cast<DWORD>((game_path.size() + 1) * sizeof(wchar_t)));
}

void UpdateRun::WriteRecordValue(const std::wstring& name, DWORD type, const void* data,
                                 DWORD size) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, RecordKey().c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS);
  LONG result = RegSetValueExW(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
  ASSERT_EQ(result, ERROR_SUCCESS);
}

void UpdateRun::DeleteRecord() {
  RegDeleteTreeW(HKEY_CURRENT_USER, RecordKey().c_str());
}

bool UpdateRun::ReadRecord(std::wstring* game_path, DWORD* value_count) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, RecordKey().c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return false;
  }
  RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, value_count, nullptr,
                   nullptr, nullptr, nullptr);
  wchar_t data[1024] = L"";
  DWORD size = sizeof data - sizeof(wchar_t);
  LONG result =
      RegQueryValueExW(key, L"GAMEPATH", nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
  RegCloseKey(key);
  game_path->clear();
  if (result == ERROR_SUCCESS) game_path->assign(data);
  return true;
}

void UpdateRun::Launch() {
  ASSERT_TRUE(Start(UpdateExePath(), medium_, &program_))
      << "CreateProcessW failed: " << GetLastError();
}

HWND UpdateRun::AwaitUpdate() {
  HWND dialog = WaitWindow(program_.pid, Kind::kUpdate, kWaitMs);
  if (!dialog) {
    ADD_FAILURE() << "no UPDATE dialog; windows:\n" << DescribeWindows(program_.pid);
  }
  return dialog;
}

MessageBoxView UpdateRun::AwaitMessage() {
  MessageBoxView box;
  if (!WaitMessageBox(program_.pid, kWaitMs, &box)) {
    ADD_FAILURE() << "no message box; windows:\n" << DescribeWindows(program_.pid);
  }
  return box;
}

void UpdateRun::Dismiss(const MessageBoxView& box) {
  ASSERT_TRUE(box.window);
  ASSERT_TRUE(PressOk(box.window));
  ASSERT_TRUE(WaitGone(box.window, kWaitMs));
}

void UpdateRun::ExpectExitCode1() {
  DWORD code = 0;
  if (!WaitExit(program_, kWaitMs, &code)) {
    ADD_FAILURE() << "update.exe did not end; windows:\n" << DescribeWindows(program_.pid);
    return;
  }
  EXPECT_EQ(code, 1u);
}

void UpdateRun::StartUpdate() {
  Launch();
  HWND dialog = AwaitUpdate();
  ASSERT_TRUE(dialog);
  ASSERT_TRUE(PostCommand(dialog, IDOK));
}

HWND UpdateRun::StartAndFreezeAmidCopy(const std::function<bool()>& started,
                                       const std::function<bool()>& early,
                                       const std::function<void()>& reset) {
  // Each attempt misses only when the test is held up for the whole copy.
  constexpr int kAttempts = 3;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    if (attempt > 0) {
      Stop(&program_);
      reset();
    }
    StartUpdate();
    HWND copy = WaitWindow(program_.pid, Kind::kCopy, kWaitMs);
    if (!copy) {
      ADD_FAILURE() << "no FILECOPY dialog; windows:\n" << DescribeWindows(program_.pid);
      return nullptr;
    }
    if (!WaitUntil(started, kWaitMs, 2)) {
      ADD_FAILURE() << "the copy did not start; windows:\n" << DescribeWindows(program_.pid);
      return nullptr;
    }
    if (!Freeze(program_)) {
      ADD_FAILURE() << "update.exe could not be frozen";
      return nullptr;
    }
    if (early()) return copy;
    Thaw(program_);
  }
  ADD_FAILURE() << "premise not met: the copy was never caught amid its files in " << kAttempts
                << " runs; the case proves nothing";
  return nullptr;
}

void UpdateRun::PickInBrowser(HWND dialog, const std::wstring& folder) {
  ASSERT_TRUE(PostCommand(dialog, 1000));
  HWND browser = WaitWindow(program_.pid, Kind::kBrowser, kWaitMs);
  ASSERT_TRUE(browser) << DescribeWindows(program_.pid);
  // The status line follows the selection with its full path.
  ASSERT_TRUE(BrowserSelectUntilShown(browser, folder, kWaitMs)) << DescribeWindows(program_.pid);
  ASSERT_TRUE(PressOk(browser));
  ASSERT_TRUE(WaitGone(browser, kWaitMs));
}

void UpdateRun::ExpectCompletion() {
  MessageBoxView box = AwaitMessage();
  EXPECT_EQ(Utf8(box.text), Utf8(kTextComplete));
  EXPECT_EQ(Utf8(box.caption), Utf8(UpdateCaption(title_)));
  EXPECT_EQ(box.owner, nullptr);
  Dismiss(box);
  ExpectExitCode1();
}

void UpdateRun::ExpectIncomplete(int failures) {
  MessageBoxView box = AwaitMessage();
  EXPECT_EQ(Utf8(box.text), Utf8(IncompleteText(failures)));
  EXPECT_EQ(Utf8(box.caption), Utf8(kCaptionFailed));
  EXPECT_EQ(box.owner, nullptr);
  Dismiss(box);
  ExpectExitCode1();
}

}  // namespace e2e
