// DLLs named like system DLLs, planted beside update.exe on the medium (its
// own folder and its current folder), must never run inside it: the
// program runs elevated for administrators.
#include "scenario.h"
#include "win/system_dlls.h"

namespace e2e {
namespace {

std::wstring PlantedDllPath() {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring folder = self;
  return folder.substr(0, folder.find_last_of(L'\\')) + L"\\planted_dll.dll";
}

class PlantedDllTest : public UpdateRun {};

TEST_F(PlantedDllTest, NoneRunsDuringAFullUpdateWithTheFolderBrowser) {
  ASSERT_TRUE(Exists(PlantedDllPath())) << Utf8(PlantedDllPath());
  // update.exe started from the medium itself, as a player starts it.
  std::wstring exe = medium_ + L"\\update.exe";
  ASSERT_TRUE(CopyFileW(UpdateExePath().c_str(), exe.c_str(), FALSE));
  // The list that update.exe maps from System32 where it cannot restrict
  // the search.
  for (int i = 0; i < kSystemDllCount; ++i) {
    const wchar_t* name = kSystemDllNames[i];
    std::wstring dll = medium_ + L"\\" + name + L".dll";
    ASSERT_TRUE(CopyFileW(PlantedDllPath().c_str(), dll.c_str(), FALSE)) << Utf8(dll);
  }
  WriteSettings({L"[SYSTEM]", L"a.dat"});
  PutSource(L"a.dat", "A");
  WriteRecord(game_);

  ASSERT_TRUE(Start(exe, medium_, &program_)) << "CreateProcessW failed: " << GetLastError();
  HWND dialog = AwaitUpdate();
  ASSERT_TRUE(dialog);
  ASSERT_NO_FATAL_FAILURE(PickInBrowser(dialog, game_));
  ASSERT_TRUE(PostCommand(dialog, IDOK));
  ExpectCompletion();
  std::string bytes;
  EXPECT_TRUE(ReadBytes(Dest(L"a.dat"), &bytes) && bytes == "A");

  for (int i = 0; i < kSystemDllCount; ++i) {
    const wchar_t* name = kSystemDllNames[i];
    EXPECT_FALSE(Exists(medium_ + L"\\" + name + L".dll.ran")) << Utf8(name) << ".dll was loaded";
  }
}

}  // namespace
}  // namespace e2e
