#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "res/resource.h"
#include "win_test_support.h"

namespace {

constexpr WORD kJapanese = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);
constexpr WORD kButton = 0x0080, kEdit = 0x0081, kStatic = 0x0082;

// update.exe of the same build: two folders up from this program.
HMODULE LoadUpdateExe() {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring exe = path;
  for (int i = 0; i < 3; ++i) exe.resize(exe.find_last_of(L"\\/"));
  exe += L"\\update.exe";
  return LoadLibraryExW(exe.c_str(), nullptr,
                        LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
}

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return "";
  int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                              nullptr, nullptr);
  std::string out(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr,
                      nullptr);
  return out;
}

// Reads a dialog template as the dialog manager does.
struct TemplateReader {
  const BYTE* p;
  WORD Word() {
    WORD w;
    memcpy(&w, p, 2);
    p += 2;
    return w;
  }
  DWORD Dword() {
    DWORD d;
    memcpy(&d, p, 4);
    p += 4;
    return d;
  }
  short Short() { return static_cast<short>(Word()); }
  std::wstring Text() {
    std::wstring out;
    for (WORD w = Word(); w != 0; w = Word()) out += static_cast<wchar_t>(w);
    return out;
  }
  // A name or an ordinal: ordinals read as "#n".
  std::wstring NameOrOrdinal() {
    WORD first;
    memcpy(&first, p, 2);
    if (first == 0xFFFF) {
      p += 2;
      return L"#" + std::to_wstring(Word());
    }
    return Text();
  }
  void AlignDword(const BYTE* base) {
    while ((p - base) % 4 != 0) ++p;
  }
};

struct Control {
  DWORD style;
  short x, y, cx, cy;
  WORD id;
  std::wstring cls;
  std::string text;  // UTF-8
};

struct Dialog {
  DWORD style, ex_style;
  short x, y, cx, cy;
  std::wstring menu, cls;
  std::string caption;
  WORD point_size;
  std::string font;
  std::vector<Control> controls;
};

bool ReadDialog(HMODULE module, const wchar_t* name, Dialog* dialog) {
  HRSRC found = FindResourceExW(module, MAKEINTRESOURCEW(5), name, kJapanese);
  if (found == nullptr) return false;
  const BYTE* base = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
  TemplateReader r{base};
  dialog->style = r.Dword();
  dialog->ex_style = r.Dword();
  WORD count = r.Word();
  dialog->x = r.Short();
  dialog->y = r.Short();
  dialog->cx = r.Short();
  dialog->cy = r.Short();
  dialog->menu = r.NameOrOrdinal();
  dialog->cls = r.NameOrOrdinal();
  dialog->caption = Utf8(r.Text());
  dialog->point_size = 0;
  if (dialog->style & DS_SETFONT) {
    dialog->point_size = r.Word();
    dialog->font = Utf8(r.Text());
  }
  for (WORD i = 0; i < count; ++i) {
    r.AlignDword(base);
    Control c;
    c.style = r.Dword();
    r.Dword();  // extended style
    c.x = r.Short();
    c.y = r.Short();
    c.cx = r.Short();
    c.cy = r.Short();
    c.id = r.Word();
    std::wstring cls = r.NameOrOrdinal();
    c.cls = cls;
    c.text = Utf8(r.NameOrOrdinal());
    WORD extra = r.Word();
    r.p += extra;
    dialog->controls.push_back(c);
  }
  return true;
}

std::wstring Atom(WORD atom) {
  return L"#" + std::to_wstring(atom);
}

void ExpectControls(const Dialog& dialog, const std::vector<Control>& expected) {
  ASSERT_EQ(dialog.controls.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    const Control& a = dialog.controls[i];
    const Control& e = expected[i];
    EXPECT_EQ(a.id, e.id) << "control " << i;
    // Class names are not case-sensitive; resource compilers differ.
    EXPECT_EQ(_wcsicmp(a.cls.c_str(), e.cls.c_str()), 0)
        << "control " << i << ": " << Utf8(a.cls) << ", expected " << Utf8(e.cls);
    EXPECT_EQ(a.style, e.style) << "control " << i;
    EXPECT_EQ(a.x, e.x) << "control " << i;
    EXPECT_EQ(a.y, e.y) << "control " << i;
    EXPECT_EQ(a.cx, e.cx) << "control " << i;
    EXPECT_EQ(a.cy, e.cy) << "control " << i;
    EXPECT_EQ(a.text, e.text) << "control " << i;
  }
}

class ResourcesTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(module_ = LoadUpdateExe(), nullptr); }
  void TearDown() override { FreeLibrary(module_); }
  HMODULE module_ = nullptr;
};

// The resource compiler adds a system menu unless told not to: the folder
// dialog must have no close box.
TEST_F(ResourcesTest, UpdateTemplate) {
  Dialog d;
  ASSERT_TRUE(ReadDialog(module_, L"UPDATE", &d));
  EXPECT_EQ(d.style, 0x80C008C0u);  // WS_POPUP|WS_CAPTION|DS_MODALFRAME|DS_CENTER|DS_SETFONT
  EXPECT_EQ(d.ex_style, 0u);
  EXPECT_EQ(d.x, 0);
  EXPECT_EQ(d.y, 0);
  EXPECT_EQ(d.cx, 203);
  EXPECT_EQ(d.cy, 79);
  EXPECT_EQ(d.menu, L"");
  EXPECT_EQ(d.cls, L"");
  EXPECT_EQ(d.caption, "UPDATE");
  EXPECT_EQ(d.point_size, 9);
  EXPECT_EQ(d.font, "ＭＳ Ｐゴシック");
  const std::vector<Control> controls = {
      {0x50810080, 5, 5, 155, 14, 1001, Atom(kEdit), ""},
      {0x50010000, 160, 5, 40, 14, 1000, Atom(kButton), "フォルダ変更"},
      {0x50020000, 5, 40, 195, 10, 0xFFFF, Atom(kStatic),
       "容量が足りない場合、UPDATEが失敗しますのでご注意下さい。"},
      {0x50010001, 115, 55, 40, 14, 1, Atom(kButton), "開始"},
      {0x50010000, 160, 55, 40, 14, 2, Atom(kButton), "やめる"},
      {0x50020000, 5, 25, 195, 10, 0xFFFF, Atom(kStatic),
       "UPDATEはゲームのファルダにファイルをコピーするだけです。"},
  };
  ExpectControls(d, controls);
}

TEST_F(ResourcesTest, FileCopyTemplate) {
  Dialog d;
  ASSERT_TRUE(ReadDialog(module_, L"FILECOPY", &d));
  EXPECT_EQ(d.style, 0x80C808C0u);
  EXPECT_EQ(d.ex_style, 0u);
  EXPECT_EQ(d.cx, 263);
  EXPECT_EQ(d.cy, 85);
  EXPECT_EQ(d.menu, L"");
  EXPECT_EQ(d.cls, L"");
  EXPECT_EQ(d.caption, "UPDATE中です・・・");
  EXPECT_EQ(d.point_size, 9);
  EXPECT_EQ(d.font, "ＭＳ Ｐゴシック");
  // The bar below the status text: WS_CHILD|WS_VISIBLE|PBS_SMOOTH.
  ExpectControls(d, {{0x50020000, 5, 10, 250, 60, 1009, Atom(kStatic), ""},
                     {0x50000001, 5, 72, 250, 8, IDC_COPY_PROGRESS, L"msctls_progress32", ""}});
}

// The close box ends the run (WS_SYSMENU); the bar answers to the copy's id.
TEST_F(ResourcesTest, IdentifyTemplate) {
  Dialog d;
  ASSERT_TRUE(ReadDialog(module_, L"IDENTIFY", &d));
  EXPECT_EQ(d.style, 0x80C808C0u);
  EXPECT_EQ(d.ex_style, 0u);
  EXPECT_EQ(d.cx, 263);
  EXPECT_EQ(d.cy, 45);
  EXPECT_EQ(d.caption, "UPDATE");
  EXPECT_EQ(d.point_size, 9);
  EXPECT_EQ(d.font, "ＭＳ Ｐゴシック");
  ExpectControls(d, {{0x50020000, 5, 10, 250, 10, 0xFFFF, Atom(kStatic),
                      "インストールされているゲームを確認しています・・・"},
                     {0x50000001, 5, 28, 250, 8, IDC_COPY_PROGRESS, L"msctls_progress32", ""}});
}

TEST_F(ResourcesTest, ManifestIconAndVersion) {
  HRSRC found = FindResourceW(module_, MAKEINTRESOURCEW(IDR_MANIFEST), MAKEINTRESOURCEW(24));
  ASSERT_NE(found, nullptr);
  std::string manifest(static_cast<const char*>(LockResource(LoadResource(module_, found))),
                       SizeofResource(module_, found));
  const char* required[] = {
      "level=\"highestAvailable\"",
      "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
      "{e2011457-1546-43c5-a5fe-008deee3d3f0}",  // Vista
      "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  // 7
      "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  // 8
      "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  // 8.1
      "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",  // 10 and 11
      ">PerMonitorV2, system</dpiAwareness>",
      ">true</dpiAware>",
  };
  for (const char* text : required) EXPECT_NE(manifest.find(text), std::string::npos) << text;
  EXPECT_NE(FindResourceExW(module_, MAKEINTRESOURCEW(14), MAKEINTRESOURCEW(IDI_APP), kJapanese),
            nullptr);
  EXPECT_NE(
      FindResourceExW(module_, MAKEINTRESOURCEW(16), MAKEINTRESOURCEW(IDV_VERSION), kJapanese),
      nullptr);
}

}  // namespace
