// DLLs named like system DLLs, planted beside update.exe on the medium (its
// own folder and its current folder), must never run inside it: the
// program runs elevated for administrators.
#include "scenario.h"

namespace e2e {
namespace {

// Every DLL a full update maps under Wine (folder browser included), and
// those that programs commonly pull in on Windows. ntdll and kernel32 are
// left out: the system maps them before any of the program's code runs.
const wchar_t* const kPlantedNames[] = {
    L"advapi32",    L"apphelp",  L"bcrypt",
    L"cfgmgr32",    L"clbcatq",  L"combase",
    L"comctl32",    L"crypt32",  L"cryptbase",
    L"cryptsp",     L"dbghelp",  L"dwmapi",
    L"dwrite",      L"edputil",  L"gdi32",
    L"iertutil",    L"imm32",    L"kernel.appcore",
    L"kernelbase",  L"linkinfo", L"mpr",
    L"msasn1",      L"msimg32",  L"msvcrt",
    L"netapi32",    L"ntmarta",  L"ntshrui",
    L"ole32",       L"oleacc",   L"oleaut32",
    L"powrprof",    L"profapi",  L"propsys",
    L"rpcrt4",      L"sechost",  L"secur32",
    L"setupapi",    L"shcore",   L"shell32",
    L"shlwapi",     L"srvcli",   L"sspicli",
    L"textshaping", L"ucrtbase", L"urlmon",
    L"user32",      L"userenv",  L"uxtheme",
    L"version",     L"win32u",   L"windows.storage",
    L"winmm",       L"winsta",   L"wintrust",
    L"wldp",        L"wtsapi32", L"zlib1",
};

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
  for (const wchar_t* name : kPlantedNames) {
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

  for (const wchar_t* name : kPlantedNames) {
    EXPECT_FALSE(Exists(medium_ + L"\\" + name + L".dll.ran")) << Utf8(name) << ".dll was loaded";
  }
}

}  // namespace
}  // namespace e2e
