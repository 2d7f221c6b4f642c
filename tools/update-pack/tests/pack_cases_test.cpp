// Pairs of trees against the update.ini they give, the exit code and the
// problems reported; every written medium is checked with update-check.
#include <gtest/gtest.h>

#include <algorithm>

#include "cp932_text.h"
#include "pack_fixture.h"
#include "pack_plan.h"
#include "settings/settings.h"

namespace {

struct PackCase {
  const char* name;
  Files old_files;
  Files new_files;
  std::vector<std::string> args;
  int exit_code;
  std::vector<std::string> ini;    // UTF-8 lines of the update.ini written; empty when refused
  std::vector<std::string> codes;  // the problems' codes, in report order
};

std::vector<std::string> Ini(const std::vector<std::string>& keys,
                             const std::vector<std::string>& entries,
                             const std::string& type = "[UPDATE]") {
  std::vector<std::string> lines = keys;
  for (const char* line : {"#INSTALL_LST", type.c_str(), "##", "#FILE", type.c_str()}) {
    lines.push_back(line);
  }
  lines.insert(lines.end(), entries.begin(), entries.end());
  lines.push_back("##");
  return lines;
}

std::string Repeat(const std::string& text, int count) {
  std::string out;
  for (int i = 0; i < count; ++i) out += text;
  return out;
}

Files Many(int count) {
  Files files;
  for (int i = 0; i < count; ++i) files.push_back({"f/" + std::to_string(1000 + i), "x"});
  return files;
}

const std::string k31 = "abcdefghijklmnopqrstuvwxyz1.txt";
const std::string k32 = "abcdefghijklmnopqrstuvwxyz12.txt";
// "データフォルダ\\" is 15 bytes in code page 932 and 22 in UTF-8; ソ ends in
// the byte 0x5C.
const std::string kJpFolder = "データフォルダ/";
// Folders keep each name within what a Linux file system holds (255 bytes).
const std::string kLimit =
    std::string(100, 'a') + "/" + std::string(kMaxEntryLength - 105, 'b') + ".txt";
const std::string kOver =
    std::string(100, 'a') + "/" + std::string(kMaxEntryLength - 104, 'b') + ".txt";
const std::string kJpLimit =
    kJpFolder + Repeat("ソ", 60) + "/" + Repeat("ソ", 59) + std::string(kMaxEntryLength - 254, 'n');
const std::string kJpOver = kJpLimit + "n";

std::string Backslashed(std::string path) {
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

const PackCase kCases[] = {
    {"NewChangedUnchanged",
     {{"game.exe", "v1"}, {"readme.txt", "same"}},
     {{"game.exe", "v2"}, {"readme.txt", "same"}, {"new.dat", "n"}},
     {},
     0,
     Ini({}, {"game.exe", "new.dat"}),
     {}},
    // Same size, same name in another case: compared by content.
    {"ChangedSameSizeOtherCase",
     {{"Data/BG.pak", "aaaa"}},
     {{"data/bg.pak", "aaab"}},
     {},
     0,
     Ini({}, {"data\\bg.pak"}),
     {}},
    {"NoOldTakesEveryFileFoldersFirst",
     {},
     {{"z.txt", "z"}, {"b/c.txt", "c"}, {"a.txt", "a"}, {"b/a/d.txt", "d"}},
     {"--no-old"},
     0,
     Ini({}, {"b\\a\\d.txt", "b\\c.txt", "a.txt", "z.txt"}),
     {}},
    {"NewFileTwoFolderLevelsDeep",
     {{"game.exe", "v1"}},
     {{"game.exe", "v1"}, {"new1/new2/a.dat", "deep"}},
     {},
     0,
     Ini({}, {"new1\\new2\\a.dat"}),
     {}},
    // ソ and 表 end in the byte 0x5C; Ａ sorts before 亜 in code page 932
    // but after it in UTF-8.
    {"JapaneseNamesInCodePageOrder",
     {{"表/a.txt", "old"}},
     {{"表/a.txt", "new"},
      {"表/ソ/c.txt", "c"},
      {"ソフト/b.txt", "b"},
      {"ソ/表.txt", "h"},
      {"亜.txt", "a"},
      {"Ａ.txt", "A"}},
     {},
     0,
     Ini({}, {"ソ\\表.txt", "ソフト\\b.txt", "表\\ソ\\c.txt", "表\\a.txt", "Ａ.txt", "亜.txt"}),
     {}},
    {"EmptyFile", {}, {{"empty.dat", ""}}, {}, 0, Ini({}, {"empty.dat"}), {}},
    {"RemovedFilesWarn",
     {{"a.txt", "1"}, {"gone.txt", "g"}, {"old/x.txt", "x"}},
     {{"a.txt", "2"}},
     {},
     0,
     Ini({}, {"a.txt"}),
     {"removed-file", "removed-file"}},
    {"NothingToCopyWarns",
     {{"a.txt", "1"}},
     {{"a.txt", "1"}},
     {},
     0,
     Ini({}, {}),
     {"nothing-to-copy"}},
    {"TextKeysQuotedOnlyWhenNotDefault",
     {},
     {{"a.txt", "a"}},
     {"--title", "星降る丘の物語", "--title-old", " 体験版 ", "--reg-p", "Software", "--reg-t",
      "HOSHIFURU", "--path", "DATA\\新", "--type", "DATA", "--title", "星降る丘の物語 ｸｴｽﾄ"},
     0,
     Ini({"#TITLE \"星降る丘の物語 ｸｴｽﾄ\"", "#TITLE_OLD \" 体験版 \"", "#PATH \"DATA\\新\"",
          "#REG_T \"HOSHIFURU\""},
         {"a.txt"}, "[DATA]"),
     {}},
    {"EmptyPathPutsFilesBesideUpdateIni",
     {},
     {{"a.txt", "a"}},
     {"--path", ""},
     0,
     Ini({"#PATH \"\""}, {"a.txt"}),
     {}},
    // Counted in code page 932, not in UTF-8 (38 bytes there).
    {"NameOf31BytesFits",
     {},
     {{k31, "x"}, {"データフォルダ/ファイル.txt", "y"}},
     {},
     0,
     Ini({}, {"データフォルダ\\ファイル.txt", k31}),
     {}},
    {"Files256Fit", {}, Many(256), {}, 0, {}, {}},
    {"NameOfTheLimitFits", {}, {{kLimit, "x"}}, {}, 0, Ini({}, {Backslashed(kLimit)}), {}},
    {"JapaneseNameOfTheLimitFits",
     {},
     {{kJpLimit, "x"}},
     {},
     0,
     Ini({}, {Backslashed(kJpLimit)}),
     {}},
    {"NameOf32BytesFits", {}, {{k32, "x"}}, {}, 0, Ini({}, {k32}), {}},
    {"Files257Fit", {}, Many(257), {}, 0, {}, {}},
    {"UnchangedNameWithoutCp932FormIsFine",
     {{"é.txt", "e"}},
     {{"é.txt", "e"}, {"a", "a"}},
     {},
     0,
     Ini({}, {"a"}),
     {}},

    // What the format cannot hold: refused, nothing written.
    {"NameTooLong",
     {},
     {{kOver, "x"}, {kJpOver, "y"}},
     {},
     1,
     {},
     {"name-too-long", "name-too-long"}},
    {"NameWithoutCp932Form", {}, {{"café/menu.txt", "x"}}, {}, 1, {}, {"not-cp932"}},
    // The tables map these one way only: ¥ to the byte of \, which would
    // split the name at a folder, and 〜 to the byte that reads back as ～.
    {"YenSignWouldBecomeSeparator", {}, {{"price¥100.txt", "x"}}, {}, 1, {}, {"not-cp932"}},
    {"WaveDashInTitle", {}, {{"a", "a"}}, {"--title", "波〜"}, 1, {}, {"not-cp932"}},
    {"TitleWithoutCp932Form", {}, {{"a", "a"}}, {"--title", "Café"}, 1, {}, {"not-cp932"}},
    {"TypeWithoutCp932Form", {}, {{"a", "a"}}, {"--type", "[é]"}, 1, {}, {"not-cp932"}},
    // 99 bytes in code page 932, 132 in UTF-8.
    {"TitleOf99Cp932BytesFits",
     {},
     {{"a", "a"}},
     {"--title", Repeat("星", 33) + Repeat("x", 33)},
     0,
     Ini({"#TITLE \"" + Repeat("星", 33) + Repeat("x", 33) + "\""}, {"a"}),
     {}},
    {"TitleTooLong", {}, {{"a", "a"}}, {"--title", Repeat("星", 50)}, 1, {}, {"value-too-long"}},
    {"TitleOldOf99BytesFits",
     {},
     {{"a", "a"}},
     {"--title-old", std::string(99, 'x')},
     0,
     Ini({"#TITLE_OLD \"" + std::string(99, 'x') + "\""}, {"a"}),
     {}},
    {"TitleOldOf100BytesTooLong",
     {},
     {{"a", "a"}},
     {"--title-old", std::string(100, 'x')},
     1,
     {},
     {"value-too-long"}},
    {"PathTooLong", {}, {{"a", "a"}}, {"--path", std::string(256, 'p')}, 1, {}, {"value-too-long"}},
    {"RegistryKeyTooLong",
     {},
     {{"a", "a"}},
     {"--reg-s", std::string(1000, 's'), "--reg-t", std::string(20, 't')},
     1,
     {},
     {"value-too-long"}},
    {"ColonInName", {}, {{"a:b.txt", "x"}}, {}, 1, {}, {"escapes-game-folder"}},
    {"DotsOnlyFolder", {}, {{".../x.txt", "x"}}, {}, 1, {}, {"escapes-game-folder"}},
    // The updater removes such files as copies its killed runs left behind.
    {"UpdatersTemporaryName",
     {},
     {{"a.dat.~update-part", "x"}, {"d/B.~UPDATE-PART", "y"}},
     {},
     1,
     {},
     {"temporary-name", "temporary-name"}},
    {"NotAWindowsName",
     {},
     {{"a?b.txt", "x"}, {"back\\slash.txt", "y"}, {"trail./c", "z"}},
     {},
     1,
     {},
     {"not-a-windows-name", "not-a-windows-name", "not-a-windows-name"}},
    {"ReadAsKeyOrHeader",
     {},
     {{"#notes.txt", "x"}, {"[readme].txt", "y"}},
     {},
     1,
     {},
     {"not-a-list-line", "not-a-list-line"}},
    {"SameFileInOtherCase",
     {},
     {{"Data.txt", "1"}, {"data.txt", "2"}},
     {},
     1,
     {},
     {"same-file", "same-file"}},
    // Windows folds the case of Greek, Cyrillic and full-width letters too.
    {"SameFileInOtherCaseBeyondAscii",
     {},
     {{"Ω.dat", "1"},
      {"ω.dat", "2"},
      {"Ａ.txt", "3"},
      {"ａ.txt", "4"},
      {"Д.bin", "5"},
      {"д.bin", "6"}},
     {},
     1,
     {},
     {"same-file", "same-file", "same-file", "same-file", "same-file", "same-file"}},
    {"SameFolderInOtherCaseBeyondAscii",
     {},
     {{"ё/a", "1"}, {"Ё/A", "2"}, {"ⅰ", "3"}, {"Ⅰ/c", "4"}},
     {},
     1,
     {},
     {"same-file", "same-file", "same-file"}},
    {"ChangedOtherCaseBeyondAscii",
     {{"Ω.dat", "v1"}, {"Д/a.bin", "a1"}},
     {{"ω.dat", "v2"}, {"д/a.bin", "a1"}},
     {},
     0,
     Ini({}, {"ω.dat"}),
     {}},
    // Width and alphabet keep names apart: only case is folded.
    {"AlikeButNotOneName",
     {},
     {{"Ａ.txt", "1"}, {"A.txt", "2"}, {"α", "3"}, {"a", "4"}, {"ア", "5"}, {"ｱ", "6"}},
     {},
     0,
     Ini({}, {"A.txt", "a", "Ａ.txt", "ア", "α", "ｱ"}),
     {}},
    // Windows 7 to 10 open a device for these, in any folder.
    {"DeviceNames",
     {},
     {{"aux.txt", "1"},
      {"data/CON", "2"},
      {"nul.dat", "3"},
      {"com1.ini", "4"},
      {"LPT9.bin", "5"},
      {"nul.tar.gz", "6"},
      {"CONIN$", "7"},
      {"conout$.txt", "8"},
      {"PRN/a.dat", "9"}},
     {},
     1,
     {},
     {"device-name", "device-name", "device-name", "device-name", "device-name", "device-name",
      "device-name", "device-name", "device-name"}},
    {"NamesLikeDevicesThatAreNot",
     {},
     {{"CONSOLE.txt", "1"}, {"COM0", "2"}, {"LPT10", "3"}, {"aux_", "4"}, {"nul_/CONx", "5"}},
     {},
     0,
     Ini({}, {"nul_\\CONx", "COM0", "CONSOLE.txt", "LPT10", "aux_"}),
     {}},
    {"PathIsDevice", {}, {{"a", "a"}}, {"--path", "DATA\\aux"}, 1, {}, {"device-name"}},
    {"FileWhereGameHasFolder",
     {{"save/x", "x"}},
     {{"save", "s"}},
     {},
     1,
     {},
     {"file-folder-clash", "removed-file"}},
    {"FolderWhereGameHasFile",
     {{"music", "m"}},
     {{"music/a.ogg", "a"}},
     {},
     1,
     {},
     {"file-folder-clash", "removed-file"}},
    {"QuoteInTitle", {}, {{"a", "a"}}, {"--title", "say \"hi\""}, 1, {}, {"unreadable-value"}},
    {"HalfWidthKatakanaBeforeClosingQuote",
     {},
     {{"a", "a"}},
     {"--title", "ｸｴｽ"},
     1,
     {},
     {"unreadable-value"}},
    {"TypeOfNoType", {}, {{"a", "a"}}, {"--type", "[]x"}, 1, {}, {"bad-type"}},
    {"TypeWithTrailingSpace", {}, {{"a", "a"}}, {"--type", "[A] "}, 1, {}, {"bad-type"}},
    {"PathLeavesMedium", {}, {{"a", "a"}}, {"--path", "..\\GAME"}, 1, {}, {"escapes-medium"}},
    {"PathWithDrive", {}, {{"a", "a"}}, {"--path", "C:\\GAME"}, 1, {}, {"escapes-medium"}},
    {"UpdateIniBesideItself",
     {},
     {{"Update.ini", "x"}},
     {"--path", ""},
     1,
     {},
     {"clash-with-medium"}},
    // Each would replace one of the medium's own files on Windows, or be
    // replaced by it; update.exe clashes even when no --exe is given.
    {"MediumNamesInAnyCaseBesideThem",
     {},
     {{"UPDATE.SHA256", "x"}, {"Update.Ini", "y"}, {"UPDATE.EXE", "z"}, {"Update.Versions", "w"}},
     {"--path", ""},
     1,
     {},
     {"clash-with-medium", "clash-with-medium", "clash-with-medium", "clash-with-medium"}},
    {"FolderNamedAsTheSumsList",
     {},
     {{"Update.Sha256/a.dat", "x"}},
     {"--path", ""},
     1,
     {},
     {"clash-with-medium"}},
    {"MediumNamesBelowThePathFolder",
     {},
     {{"UPDATE.SHA256", "x"}, {"update.exe", "y"}, {"update.versions", "z"}},
     {"--no-old"},
     0,
     Ini({}, {"UPDATE.SHA256", "update.exe", "update.versions"}),
     {}},
};

// Each refused file is named in a problem of its own.
TEST(PackNames, EachDeviceNameIsNamed) {
  const Files files = {{"aux.txt", "1"}, {"data/CON", "2"}, {"com1.ini", "3"}, {"ok.txt", "4"}};
  PackTrees trees({}, files);
  PackRun run = trees.Pack({}, false);
  ASSERT_EQ(run.exit_code, 1) << run.out << run.err;
  std::vector<std::string> named;
  for (const auto& problem : run.json["problems"]) {
    EXPECT_EQ(problem["code"], "device-name") << problem.dump();
    named.push_back(problem["where"]);
  }
  std::sort(named.begin(), named.end());
  EXPECT_EQ(named, (std::vector<std::string>{"aux.txt", "com1.ini", "data/CON"}));
}

// The file list's capacities at their edges, planned from trees in memory:
// tens of thousands of files written out and packed would only slow the
// case down (every packed file is flushed to the disk).
TEST(PackCapacities, AtTheirEdges) {
  struct Case {
    const char* what;
    size_t files;
    std::string name;  // one more file of this name
    std::vector<std::string> codes;
    std::string where;  // of the first problem
  };
  const Case cases[] = {
      {"a path of exactly the limit", 0, kLimit, {}, ""},
      {"one byte more", 0, kOver, {"name-too-long"}, kOver},
      {"two-byte characters up to the limit", 0, kJpLimit, {}, ""},
      {"two-byte characters one byte over", 0, kJpOver, {"name-too-long"}, kJpOver},
      {"the 65,536th file", kMaxFiles - 1, "z/last", {}, ""},
      {"the 65,537th file", kMaxFiles, "z/last", {"too-many-files"}, "z/last"},
  };
  for (const Case& c : cases) {
    Tree tree;
    for (size_t i = 0; i < c.files; ++i) tree.files.push_back({"f/" + std::to_string(i), 1});
    if (c.files > 0) tree.folders.push_back("f");
    tree.files.push_back({c.name, 1});
    for (size_t slash = c.name.find('/'); slash != std::string::npos;
         slash = c.name.find('/', slash + 1)) {
      tree.folders.push_back(c.name.substr(0, slash));
    }
    PackReport report;
    std::string error;
    ASSERT_TRUE(PlanFiles("new", tree, {}, &report, &error)) << c.what << ": " << error;
    std::vector<std::string> codes;
    for (const PackProblem& problem : report.problems) codes.push_back(problem.code);
    EXPECT_EQ(codes, c.codes) << c.what;
    if (!c.codes.empty()) {
      EXPECT_EQ(report.problems[0].where, c.where) << c.what;
    }
    EXPECT_EQ(report.files.size(), c.files + 1) << c.what;
  }
}

void PrintTo(const PackCase& c, std::ostream* os) {
  *os << c.name;
}

class PackCases : public ::testing::TestWithParam<PackCase> {};

std::vector<std::string> Codes(const nlohmann::json& problems) {
  std::vector<std::string> codes;
  for (const auto& problem : problems) codes.push_back(problem["code"]);
  return codes;
}

TEST_P(PackCases, WritesExpectedMediumOrNothing) {
  const PackCase& c = GetParam();
  PackTrees trees(c.old_files, c.new_files);
  std::vector<std::string> args = c.args;
  bool with_old = true;
  if (!args.empty() && args[0] == "--no-old") {
    with_old = false;
    args.erase(args.begin());
  }
  PackRun run = trees.Pack(args, with_old);
  ASSERT_EQ(run.exit_code, c.exit_code) << run.out << run.err;
  ASSERT_TRUE(run.json.is_object()) << run.err;
  EXPECT_EQ(Codes(run.json["problems"]), c.codes) << run.json["problems"].dump(2);
  if (c.exit_code != 0) {
    // Refused before anything is written: no medium, no work folder.
    EXPECT_EQ(trees.RootNames(), (std::vector<std::string>{"new", "old"}));
    EXPECT_FALSE(run.json["written"].get<bool>());
    return;
  }
  std::string ini;
  ASSERT_TRUE(ReadFile(trees.medium_dir() + "/update.ini", &ini));
  if (!c.ini.empty()) {
    EXPECT_EQ(ini, IniBytes(c.ini)) << DecodeCp932(ini);
  }
  EXPECT_EQ(trees.RootNames(), (std::vector<std::string>{"medium", "new", "old"}));

  // update-check finds no error on it and would copy exactly the list.
  CheckRun check_run = RunCheck({"--json", trees.medium_dir()});
  EXPECT_EQ(check_run.exit_code, 0) << check_run.out;
  nlohmann::json check = nlohmann::json::parse(check_run.out);
  std::vector<std::string> planned, packed;
  for (const auto& item : check["copy"]) {
    planned.push_back(item["name"]);
    EXPECT_TRUE(item["exists"].get<bool>()) << item.dump();
  }
  for (const auto& file : run.json["files"]) packed.push_back(file["name"]);
  EXPECT_EQ(planned, packed);
  for (const auto& problem : check["problems"]) ADD_FAILURE() << "update-check: " << problem.dump();
  // Each listed file lies on the medium with the bytes of NEW_DIR.
  for (const auto& file : run.json["files"]) {
    std::string on_medium, in_new;
    std::string folder = check["settings"]["path"];
    std::replace(folder.begin(), folder.end(), '\\', '/');
    std::string relative = file["path"];
    ASSERT_TRUE(
        ReadFile(trees.medium_dir() + "/" + (folder.empty() ? relative : folder + "/" + relative),
                 &on_medium))
        << relative;
    ASSERT_TRUE(ReadFile(trees.new_dir() + "/" + relative, &in_new));
    EXPECT_EQ(on_medium, in_new) << relative;
  }
}

INSTANTIATE_TEST_SUITE_P(Trees, PackCases, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<PackCase>& info) {
                           return info.param.name;
                         });

}  // namespace
