#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "registry/install_record.h"
#include "win_test_support.h"

namespace {

const wchar_t kTestRoot[] = L"Software\\UpdaterTests";

// Data as it is stored, followed in memory by bytes that are not NUL, so the
// registry cannot take a terminator from past its end.
struct Data {
  std::vector<BYTE> bytes;
};

Data WideData(const std::wstring& text, bool terminated) {
  Data data;
  const BYTE* p = reinterpret_cast<const BYTE*>(text.c_str());
  data.bytes.assign(p, p + (text.size() + (terminated ? 1 : 0)) * sizeof(wchar_t));
  return data;
}

Data RawData(const std::string& bytes) {
  Data data;
  data.bytes.assign(bytes.begin(), bytes.end());
  return data;
}

class InstallRecordTest : public ::testing::Test {
 protected:
  void SetUp() override {
    key_path_ = std::wstring(kTestRoot) + L"\\" +
                Wide(::testing::UnitTest::GetInstance()->current_test_info()->name());
    for (wchar_t& c : key_path_) {
      if (c == L'/') c = L'_';
    }
    RegDeleteTreeW(HKEY_CURRENT_USER, key_path_.c_str());
  }
  void TearDown() override {
    if (key_ != nullptr) RegCloseKey(key_);
    RegDeleteTreeW(HKEY_CURRENT_USER, kTestRoot);
  }

  HKEY Key() {
    if (key_ == nullptr) {
      EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, key_path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                nullptr, &key_, nullptr),
                ERROR_SUCCESS);
    }
    return key_;
  }

  void Set(const std::wstring& name, DWORD type, const Data& data) {
    std::vector<BYTE> padded = data.bytes;
    padded.insert(padded.end(), {'X', 'X', 'X', 'X'});
    ASSERT_EQ(RegSetValueExW(Key(), name.c_str(), 0, type, padded.data(),
                             static_cast<DWORD>(data.bytes.size())),
              ERROR_SUCCESS);
  }

  // Reads the record the way the update run does: the key path in code page
  // 932, the destination a 1024-byte buffer.
  std::string Read(long* result = nullptr, bool* unmappable = nullptr) {
    int n = WideCharToMultiByte(932, 0, key_path_.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string path(n, '\0');
    WideCharToMultiByte(932, 0, key_path_.c_str(), -1, &path[0], n, nullptr, nullptr);
    char dest[1024];
    memset(dest, 'Z', sizeof dest);
    bool noted = true;
    long status = ReadInstallRecord(path.c_str(), dest, sizeof dest, &noted);
    if (result != nullptr) *result = status;
    if (unmappable != nullptr) *unmappable = noted;
    return dest;
  }

  std::wstring key_path_;
  HKEY key_ = nullptr;
};

TEST_F(InstallRecordTest, MissingKeyIsCreatedEmpty) {
  long result = -1;
  EXPECT_EQ(Read(&result), "");
  EXPECT_EQ(result, ERROR_SUCCESS);
  HKEY key;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, key_path_.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
  DWORD subkeys = 1, values = 1;
  EXPECT_EQ(RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                             nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(subkeys, 0u);
  EXPECT_EQ(values, 0u);
  RegCloseKey(key);
}

TEST_F(InstallRecordTest, KeyWithNoValues) {
  Key();
  EXPECT_EQ(Read(), "");
}

struct GamePathCase {
  const char* what;
  DWORD type;
  Data data;
  std::string expected;  // code page 932
  bool unmappable = false;
};

TEST_F(InstallRecordTest, GamePathData) {
  const std::wstring path255 = L"C:\\" + std::wstring(252, L'a');
  const std::wstring path256 = L"C:\\" + std::wstring(253, L'b');
  const std::wstring path200 = L"C:\\" + std::wstring(197, L'c');
  // 128 two-byte characters: 256 bytes in code page 932.
  const std::wstring kana128 = std::wstring(128, L'\x30B2');  // ゲ
  std::string kana128_932;
  for (int i = 0; i < 128; ++i) kana128_932 += "\x83\x51";
  const std::string raw256(256, 'r');
  const GamePathCase cases[] = {
      {"255 characters with a terminator", REG_SZ, WideData(path255, true),
       std::string(path255.begin(), path255.end())},
      {"255 characters without one", REG_SZ, WideData(path255, false),
       std::string(path255.begin(), path255.end())},
      {"256 bytes without a terminator", REG_SZ, WideData(path256, false),
       std::string(path256.begin(), path256.end())},
      {"256 characters and a terminator do not fit", REG_SZ, WideData(path256, true), ""},
      {"the limit applies to the code page 932 form, not to UTF-16", REG_SZ,
       WideData(path200, true), std::string(path200.begin(), path200.end())},
      {"128 two-byte characters are 256 bytes", REG_SZ, WideData(kana128, false), kana128_932},
      {"129 two-byte characters do not fit", REG_SZ, WideData(kana128 + L"\x30B2", false), ""},
      {"Japanese path", REG_SZ, WideData(Wide("D:\\ゲーム\\代表"), true),
       "D:\\\x83\x51\x81\x5b\x83\x80\\\x91\xe3\x95\x5c"},
      {"REG_EXPAND_SZ is not expanded", REG_EXPAND_SZ, WideData(L"%SystemRoot%\\Game", true),
       "%SystemRoot%\\Game"},
      {"REG_MULTI_SZ gives its first string", REG_MULTI_SZ,
       WideData(std::wstring(L"C:\\One\0C:\\Two\0", 15), true), "C:\\One"},
      {"the text ends at its first NUL", REG_SZ,
       WideData(std::wstring(L"C:\\Game\0junk", 12), false), "C:\\Game"},
      {"empty data", REG_SZ, RawData(""), ""},
      {"a NUL first", REG_SZ, WideData(std::wstring(L"\0C:\\Game", 8), false), ""},
      {"other types are taken as their bytes", REG_BINARY,
       RawData(Sjis("E:\\ゲーム") + std::string("\0tail", 5)), Sjis("E:\\ゲーム")},
      {"256 raw bytes", REG_BINARY, RawData(raw256), raw256},
      {"257 raw bytes do not fit", REG_BINARY, RawData(raw256 + "r"), ""},
      // Spelled with look-alikes these would be C:\Users\Jose and D:\update\v2,
      // other folders.
      {"an accented letter is noted, not replaced", REG_SZ, WideData(Wide("C:\\Users\\José"), true),
       "C:\\Users\\Jos?", true},
      {"the yen sign is noted, not made a backslash", REG_EXPAND_SZ,
       WideData(Wide("D:\\update¥v2"), false), "D:\\update?v2", true},
  };
  for (const GamePathCase& c : cases) {
    Set(L"GAMEPATH", c.type, c.data);
    bool unmappable = !c.unmappable;
    EXPECT_EQ(Read(nullptr, &unmappable), c.expected) << c.what;
    EXPECT_EQ(unmappable, c.unmappable) << c.what;
  }
}

TEST_F(InstallRecordTest, NameMustMatchExactly) {
  // GAMÉPATH would be GAMEPATH if É were spelled as E.
  const wchar_t* names[] = {L"GamePath", L"GAMEPATH2", L"GAMEPAT", L" GAMEPATH", L"GAM\x00C9PATH"};
  for (const wchar_t* name : names) {
    Set(name, REG_SZ, WideData(L"C:\\Game", true));
    EXPECT_EQ(Read(), "") << "name of " << wcslen(name) << " characters starting " << name[0];
    RegDeleteValueW(Key(), name);
  }
}

TEST_F(InstallRecordTest, OtherInstallerValuesDoNotMatter) {
  DWORD one = 1;
  Data dword = RawData(std::string(reinterpret_cast<const char*>(&one), sizeof one));
  Set(L"INSTFLAG", REG_DWORD, dword);
  Set(L"INSTTYPE", REG_DWORD, dword);
  Set(L"VISTA_Admini_Run", REG_DWORD, dword);
  Set(L"CDPATH", REG_SZ, WideData(L"E:\\", false));
  EXPECT_EQ(Read(), "");
  Set(L"GAMEPATH", REG_SZ, WideData(L"C:\\Game", false));
  EXPECT_EQ(Read(), "C:\\Game");
}

// The name of the value the registry lists first.
std::wstring FirstListedName(HKEY key) {
  wchar_t name[1024];
  DWORD count = 1024;
  if (RegEnumValueW(key, 0, name, &count, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
    return L"";
  }
  return name;
}

struct OversizeCase {
  const char* what;
  std::wstring name;
  DWORD type;
  Data data;
};

// A value too large for the reader, listed before GAMEPATH, used to end the
// scan and make an installed game look not installed. Wine lists values by
// name and Windows in the order they were written: these come first in both.
TEST_F(InstallRecordTest, OversizeValueBeforeGamePathIsPassedOver) {
  const OversizeCase cases[] = {
      {"300 bytes of binary data", L"AAA_LARGE", REG_BINARY, RawData(std::string(300, 'x'))},
      {"more data than the enumeration is given room for", L"AAA_LARGE", REG_BINARY,
       RawData(std::string(5000, 'x'))},
      {"a 300-character text", L"AAA_LARGE", REG_SZ, WideData(std::wstring(300, L'y'), true)},
      {"a 300-character name", L"A" + std::wstring(299, L'n'), REG_DWORD, RawData("1234")},
      {"a 200-character Japanese name", L"A" + std::wstring(199, L'\x30B2'), REG_SZ,
       WideData(L"v", true)},
  };
  for (const OversizeCase& c : cases) {
    Set(c.name, c.type, c.data);
    Set(L"GAMEPATH", REG_SZ, WideData(L"C:\\Game", false));
    ASSERT_EQ(FirstListedName(Key()), c.name) << c.what << ": the test needs it listed first";
    EXPECT_EQ(Read(), "C:\\Game") << c.what;
    RegDeleteValueW(Key(), c.name.c_str());
    RegDeleteValueW(Key(), L"GAMEPATH");
  }
}

TEST_F(InstallRecordTest, KeyPathIsCodePage932) {
  key_path_ += L"\\" + Wide("ゲーム表");
  Set(L"GAMEPATH", REG_SZ, WideData(L"C:\\Game", false));
  EXPECT_EQ(Read(), "C:\\Game");
}

}  // namespace
