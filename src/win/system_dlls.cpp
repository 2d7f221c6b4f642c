#include "win/system_dlls.h"

// Every DLL a full update maps under Wine, and those that programs commonly
// pull in on Windows. ntdll and kernel32 are left out: the system maps them
// before any of the program's code runs.
const wchar_t* const kSystemDllNames[] = {
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

const int kSystemDllCount = sizeof kSystemDllNames / sizeof kSystemDllNames[0];
