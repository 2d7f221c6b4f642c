// The portable rules for names against Windows' own routines: the case fold
// against CompareStringOrdinal, the device names against
// RtlIsDosDeviceName_U.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "copy/device_names.h"
#include "text/case_fold.h"
#include "win_test_support.h"

namespace {

// Every UTF-16 unit that code page 932 holds as itself: no stand-in, and the
// same unit when read back.
std::vector<wchar_t> Cp932Units() {
  std::vector<wchar_t> units;
  for (unsigned int u = 1; u <= 0xFFFF; ++u) {
    if (u >= 0xD800 && u <= 0xDFFF) continue;
    wchar_t unit = static_cast<wchar_t>(u);
    char bytes[4];
    BOOL stand_in = FALSE;
    int n = WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, &unit, 1, bytes, sizeof bytes, nullptr,
                                &stand_in);
    if (n <= 0 || stand_in) continue;
    wchar_t back[2];
    if (MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, bytes, n, back, 2) != 1 || back[0] != unit)
      continue;
    units.push_back(unit);
  }
  return units;
}

int CompareIgnoringCase(wchar_t a, wchar_t b) {
  return CompareStringOrdinal(&a, 1, &b, 1, TRUE);
}

// Windows orders units by their folded form, so sorting by its comparison
// puts the units it takes for one side by side. Each such run must share one
// folded unit, and no two runs the same.
TEST(WindowsNames, CaseFoldAgreesWithCompareStringOrdinal) {
  std::vector<wchar_t> units = Cp932Units();
  ASSERT_GT(units.size(), 7000u);
  std::sort(units.begin(), units.end(),
            [](wchar_t a, wchar_t b) { return CompareIgnoringCase(a, b) == CSTR_LESS_THAN; });
  std::set<unsigned short> run_folds;
  size_t folded_pairs = 0;
  for (size_t i = 0; i < units.size(); ++i) {
    unsigned short folded = FoldCase(units[i]);
    if (i > 0 && CompareIgnoringCase(units[i - 1], units[i]) == CSTR_EQUAL) {
      ++folded_pairs;
      EXPECT_EQ(folded, FoldCase(units[i - 1]))
          << std::hex << "U+" << units[i - 1] << " and U+" << units[i] << " are one on Windows";
      continue;
    }
    EXPECT_TRUE(run_folds.insert(folded).second)
        << std::hex << "U+" << units[i] << " folds like a unit that Windows keeps apart";
  }
  // Not vacuous: a-z, Greek, Cyrillic, Roman numerals, full-width a-z.
  EXPECT_GE(folded_pairs, 119u);
}

struct PairCase {
  const char* a;
  const char* b;
  bool one_name;
};

// The names the tools' tests use, as whole names.
TEST(WindowsNames, NamesOfTheToolsTestsFoldAsOnWindows) {
  const PairCase cases[] = {
      {"Ω.dat", "ω.dat", true},       {"Ａ.txt", "ａ.txt", true}, {"Д.bin", "д.bin", true},
      {"Data.txt", "data.txt", true}, {"ё", "Ё", true},           {"ⅰ", "Ⅰ", true},
      {"Ａ.txt", "A.txt", false},     {"α", "a", false},          {"ア", "ｱ", false},
  };
  for (const PairCase& c : cases) {
    std::wstring a = Wide(c.a), b = Wide(c.b);
    bool windows = CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
    EXPECT_EQ(windows, c.one_name) << c.a << " " << c.b;
    bool folded = a.size() == b.size();
    for (size_t i = 0; folded && i < a.size(); ++i) folded = FoldCase(a[i]) == FoldCase(b[i]);
    EXPECT_EQ(folded, windows) << c.a << " " << c.b;
  }
}

using IsDosDeviceName = ULONG(WINAPI*)(const wchar_t*);

// Windows' own test, on a name at the end of a full path, for the names the
// tests use and those around them.
TEST(WindowsNames, DeviceNamesAsRtlIsDosDeviceName) {
  auto windows = reinterpret_cast<IsDosDeviceName>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlIsDosDeviceName_U")));
  ASSERT_NE(windows, nullptr);
  const char* const names[] = {
      "CON",         "con",         "PRN",       "Aux",      "nul",       "COM1",       "com9",
      "LPT1",        "lPt9",        "CONIN$",    "conout$",  "aux.txt",   "nul.tar.gz", "com1.ini",
      "LPT9.bin",    "CONOUT$.log", "CON .txt",  "CON..txt", "CON.",      "CON ",       "CON. .",
      "CONSOLE.txt", "COM0",        "LPT0.txt",  "LPT10",    "COM10.txt", "COM",        "aux_",
      "auxx.txt",    " CON",        "CON x.txt", "xCON",     "CONIN",     "COM1a",      "ＣＯＮ",
      "COM１",       "AUX表",
  };
  for (const char* name : names) {
    std::string bytes = Sjis(name);
    std::wstring path = L"C:\\game\\" + Wide(name);
    EXPECT_EQ(IsDeviceName(bytes.data(), bytes.size()), windows(path.c_str()) != 0) << name;
  }
}

}  // namespace
