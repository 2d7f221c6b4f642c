// One small medium per problem code, against the problems it must give.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "medium_fixture.h"
#include "settings/settings.h"
#include "settings/settings_file.h"

namespace {

struct Expected {
  int line;
  const char* severity;
  const char* code;
  bool operator<(const Expected& o) const {
    return std::make_tuple(line, std::string(code)) < std::make_tuple(o.line, std::string(o.code));
  }
  bool operator==(const Expected& o) const {
    return line == o.line && std::string(severity) == o.severity && std::string(code) == o.code;
  }
};

std::ostream& operator<<(std::ostream& out, const Expected& e) {
  return out << "{" << e.line << ", " << e.severity << ", " << e.code << "}";
}

struct Case {
  const char* name;
  std::string settings;            // update.ini's bytes; the medium has none when null_settings
  std::vector<std::string> files;  // '/' between names; a trailing '/' makes a folder
  std::vector<Expected> problems;
  int exit_code;
  const char* settings_name = "update.ini";
};

const char* const kE = "error";
const char* const kW = "warning";

// Lines 1 to 3: one file type, [A].
const std::string kTypes = "#INSTALL_LST\n[A]\n##\n";
// Lines 1 to 5: then the file list under [A]; files start on line 6.
const std::string kFilesOfA = kTypes + "#FILE\n[A]\n";

std::string Repeat(char c, size_t n) {
  return std::string(n, c);
}

std::string ManyFiles(int count) {
  std::string lines;
  for (int i = 0; i < count; ++i) lines += "f" + std::to_string(i) + "\n";
  return lines;
}

std::vector<std::string> ManyFileNames(int count) {
  std::vector<std::string> names;
  for (int i = 0; i < count; ++i) names.push_back("GAME/f" + std::to_string(i));
  return names;
}

std::string ManyTypes(int count) {
  std::string lines;
  for (int i = 0; i < count; ++i) lines += "[T" + std::to_string(i) + "]\n";
  return lines;
}

// Comment lines of size bytes in all: the updater holds update.ini whole in a
// buffer of its largest size.
std::string CommentsOfSize(size_t size) {
  const std::string line = "# " + Repeat('c', 61) + "\n";
  std::string text;
  while (text.size() + line.size() <= size) text += line;
  return text + Repeat('#', size - text.size());
}

std::vector<Case> Cases() {
  return {
      {"clean", kFilesOfA + "a.dat\nsub\\b.dat\n", {"GAME/a.dat", "GAME/sub/b.dat"}, {}, 0},
      {"names_match_without_case",
       "#PATH game\n" + kFilesOfA + "Data\\BG.pak\n",
       {"GAME/data/bg.PAK"},
       {},
       0,
       "Update.INI"},
      {"japanese_names_with_trail_byte_5c",
       Sjis(kFilesOfA + "ソフト\\表.dat\n"),
       {"GAME/ソフト/表.dat"},
       {},
       0},
      {"names_as_windows_trims_them",
       kFilesOfA + "readme.txt.\nData.\\bg.pak\nodd..\\c.dat\nData \\bg.pak\n",
       {"GAME/readme.txt", "GAME/data/bg.pak", "GAME/odd../c.dat"},
       {{8, kE, "missing-source"}, {9, kE, "missing-source"}},
       1},
      {"no_settings_file", "", {}, {{0, kE, "no-settings-file"}}, 1, nullptr},
      {"settings_file_is_a_folder", "", {"update.ini/"}, {{0, kE, "no-settings-file"}}, 1, nullptr},
      {"missing_source",
       kFilesOfA + "a.dat\nb.dat\n",
       {"GAME/a.dat"},
       {{7, kE, "missing-source"}},
       1},
      {"missing_source_folder", kFilesOfA + "a.dat\n", {"a.dat"}, {{6, kE, "missing-source"}}, 1},
      {"source_is_folder",
       kFilesOfA + "a.dat\n",
       {"GAME/a.dat/"},
       {{6, kE, "source-is-folder"}},
       1},
      {"unknown_type_header",
       kTypes + "#FILE\n[B]\na.dat\n",
       {"GAME/a.dat"},
       {{5, kE, "unknown-type"}, {6, kW, "never-copied"}},
       1},
      {"unknown_type_in_group",
       "#INSTALL_LST\n[A]\n#INSTALL_B\n[A]\n[C]\n",
       {},
       {{5, kE, "unknown-type"}},
       1},
      // A name of the limit and one byte more; 32 bytes and more were once
      // too long.
      {"name_too_long",
       kFilesOfA + Repeat('n', 100) + "\\" + Repeat('n', kMaxEntryLength - 100) + "\n" +
           Repeat('m', 100) + "\\" + Repeat('m', kMaxEntryLength - 101) + "\n" + Repeat('k', 32) +
           "\n",
       {"GAME/" + Repeat('m', 100) + "/" + Repeat('m', kMaxEntryLength - 101),
        "GAME/" + Repeat('k', 32)},
       {{6, kE, "name-too-long"}},
       1},
      // The 65,536th file is an entry (the 257th once was not), the 65,537th
      // and 65,538th are not.
      {"too_many_files",
       kFilesOfA + ManyFiles(kMaxFiles + 2),
       ManyFileNames(kMaxFiles),
       {{6 + kMaxFiles, kE, "too-many-files"}},
       1},
      {"too_many_types", "#INSTALL_LST\n" + ManyTypes(18), {}, {{18, kE, "too-many-types"}}, 1},
      {"escapes_game_folder",
       kFilesOfA + "..\\evil.dll\nC:\\evil.dll\n\\evil.dll\nsub\\..\\..\\x\n",
       {"evil.dll", "GAME/sub/"},
       {{6, kE, "escapes-game-folder"},
        {7, kE, "escapes-game-folder"},
        {8, kE, "escapes-game-folder"},
        {9, kE, "escapes-game-folder"}},
       1},
      {"value_cut",
       "#TITLE " + Repeat('t', 100) + "\n#TITLE_OLD " + Repeat('o', 99) + "\n#INSTALL_LST\n[" +
           Repeat('T', 62) + "]\n[" + Repeat('U', 61) + "]\n",
       {},
       {{1, kE, "value-cut"}, {4, kE, "value-cut"}},
       1},
      {"never_copied",
       "#INSTALL_LST\n" + ManyTypes(9) + "#FILE\nnone.dat\n[T8]\nt8.dat\n[T7]\nt7.dat\n[]\nx.dat\n",
       {"GAME/t7.dat"},
       {{12, kW, "never-copied"}, {14, kW, "never-copied"}, {18, kW, "never-copied"}},
       0},
      {"duplicate_entry",
       kFilesOfA + "Data\\BG.pak\ndata/bg.pak\nDATA\\other.pak\n",
       {"GAME/data/bg.pak", "GAME/data/other.pak"},
       {{7, kW, "duplicate-entry"}},
       0},
      // Windows folds the case of every letter code page 932 holds, not of
      // ASCII alone: each second name is the file of the first.
      {"duplicate_entry_beyond_ascii",
       Sjis(kFilesOfA + "Ω.dat\nω.dat\nＡ.txt\nａ.txt\nД.bin\nд.bin\nⅰ.dat\nⅠ.dat\nё\\a\nЁ\\A\n"),
       {"GAME/Ω.dat", "GAME/ω.dat", "GAME/Ａ.txt", "GAME/ａ.txt", "GAME/Д.bin", "GAME/д.bin",
        "GAME/ⅰ.dat", "GAME/Ⅰ.dat", "GAME/ё/a", "GAME/Ё/A"},
       {{7, kW, "duplicate-entry"},
        {9, kW, "duplicate-entry"},
        {11, kW, "duplicate-entry"},
        {13, kW, "duplicate-entry"},
        {15, kW, "duplicate-entry"}},
       0},
      {"names_match_without_case_beyond_ascii",
       Sjis(kFilesOfA + "Ω\\Ａ.dat\nд.bin\n"),
       {"GAME/ω/ａ.dat", "GAME/Д.bin"},
       {},
       0},
      // Width and alphabet tell names apart: no folding beyond case.
      {"alike_but_not_one_name",
       Sjis(kFilesOfA + "Ａ.dat\nA.dat\nα\na\nア\nｱ\n"),
       {"GAME/Ａ.dat", "GAME/A.dat", "GAME/α", "GAME/a", "GAME/ア", "GAME/ｱ"},
       {},
       0},
      // Windows 7 to 10 open a device for these, in any folder; the medium
      // made elsewhere may hold the files.
      {"device_names",
       kFilesOfA +
           "aux.txt\ndata\\CON\nnul.tar.gz\ncom1.ini\nLPT9.bin\nCON .txt\nconin$\nPRN\\a.dat\n"
           "CONSOLE.txt\nCOM0\nLPT10\naux_\n",
       {"GAME/aux.txt", "GAME/data/CON", "GAME/nul.tar.gz", "GAME/com1.ini", "GAME/LPT9.bin",
        "GAME/CON .txt", "GAME/conin$", "GAME/PRN/a.dat", "GAME/CONSOLE.txt", "GAME/COM0",
        "GAME/LPT10", "GAME/aux_"},
       {{6, kE, "device-name"},
        {7, kE, "device-name"},
        {8, kE, "device-name"},
        {9, kE, "device-name"},
        {10, kE, "device-name"},
        {11, kE, "device-name"},
        {12, kE, "device-name"},
        {13, kE, "device-name"}},
       1},
      {"unknown_key",
       "#TITEL x\n#\n# a comment\n#\ttabbed comment\n#title y\n##\n#TITLE\"z\"\n",
       {},
       {{1, kW, "unknown-key"}, {5, kW, "unknown-key"}, {7, kW, "unknown-key"}},
       0},
      {"text_after_quote",
       "#TITLE \"Sample\" Quest\n#PATH \"GAME\"  \n# \"quoted\" comment\n#TITEL \"x\" y\n"
       "#FILE \"all\" files\n",
       {},
       {{1, kW, "text-after-quote"}, {4, kW, "unknown-key"}, {5, kW, "text-after-quote"}},
       0},
      {"text_outside_list",
       "free text\n  \t\n#FILE\n##\nmore\n",
       {},
       {{1, kW, "text-outside-list"}, {5, kW, "text-outside-list"}},
       0},
      {"key_repeated",
       "#TITLE a\n#REG_T b\n#TITLE c\n#INSTALL_LST\n#INSTALL_LST\n",
       {},
       {{3, kW, "key-repeated"}},
       0},
      {"invalid_cp932",
       "#TITLE \x85\x40\n#EXE a\x80z\n#MD " + Sjis("アｱ") + "\n#LNK \x81 \n#DEFDIR x\x82",
       {},
       {{1, kW, "invalid-cp932"},
        {2, kW, "invalid-cp932"},
        {4, kW, "invalid-cp932"},
        {5, kW, "invalid-cp932"}},
       0},
      {"utf8_text", "#PATH GAME\n#TITLE サンプル\n", {}, {{2, kW, "utf8-text"}}, 0},
      {"utf8_byte_order_mark",
       "\xEF\xBB\xBF#TITLE x\n",
       {},
       {{1, kW, "text-outside-list"}, {1, kW, "utf8-text"}},
       0},
      {"settings_of_the_largest_size", CommentsOfSize(kMaxSettingsSize), {}, {}, 0},
      {"settings_over_the_largest_size",
       CommentsOfSize(kMaxSettingsSize + 1),
       {},
       {{0, kE, "settings-too-large"}},
       1},
      {"line_split",
       "# " + Repeat('c', 600) + "\n#TITLE x\n",
       {},
       {{1, kW, "line-split"}, {1, kW, "text-outside-list"}},
       0},
  };
}

void PrintTo(const Case& c, std::ostream* out) {
  *out << c.name;
}

class ProblemCase : public ::testing::TestWithParam<Case> {};

TEST_P(ProblemCase, GivesItsProblemsAndExitCode) {
  const Case& c = GetParam();
  Medium medium;
  if (c.settings_name != nullptr) medium.Write(c.settings_name, c.settings);
  for (const std::string& file : c.files) {
    if (file.back() == '/') {
      medium.Folder(file.substr(0, file.size() - 1));
    } else {
      medium.Write(file, "data");
    }
  }
  int exit_code = -1;
  nlohmann::json report = CheckJson(medium, &exit_code);
  std::vector<std::string> texts;  // kept alive for the pointers below
  texts.reserve(report["problems"].size() * 2);
  std::vector<Expected> found;
  for (const auto& problem : report["problems"]) {
    texts.push_back(problem["severity"].get<std::string>());
    texts.push_back(problem["code"].get<std::string>());
    found.push_back(
        {problem["line"].get<int>(), texts[texts.size() - 2].c_str(), texts.back().c_str()});
  }
  std::vector<Expected> expected = c.problems;
  std::stable_sort(found.begin(), found.end());
  std::stable_sort(expected.begin(), expected.end());
  EXPECT_EQ(found, expected) << report["problems"].dump(2);
  EXPECT_EQ(exit_code, c.exit_code);
}

INSTANTIATE_TEST_SUITE_P(Media, ProblemCase, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
