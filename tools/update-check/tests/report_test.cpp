// The two report forms, the arguments and the exit codes.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "medium_fixture.h"

namespace {

void MakeWorkedExample(Medium* medium) {
  medium->Write("update.ini", kWorkedExample);
  medium->Write("GAME/game.exe", "exe");
  medium->Write("GAME/data/bg.pak", "pak");
}

// A game of today: tens of thousands of files, Japanese paths far longer
// than 31 bytes, in folders of thousands. The check reads every entry once
// and matches names without a scan per entry.
TEST(LargeList, TwentyThousandEntriesGiveTwentyThousandCopies) {
  constexpr int kEntries = 20000;
  Medium medium;
  std::string ini = "#INSTALL_LST\n[DATA]\n##\n#FILE\n[DATA]\n";
  std::set<std::string> sources;
  for (int i = 0; i < kEntries; ++i) {
    std::string name = "data/キャラクター_" + std::to_string(i % 7) + "/表情差分_ソ/立ち絵_" +
                       std::to_string(100000 + i) + ".png";
    medium.Write("GAME/" + name, std::to_string(i));
    std::string entry = name;
    for (char& c : entry) {
      if (c == '/') c = '\\';
    }
    ini += entry + "\r\n";
    sources.insert("GAME\\" + entry);
  }
  medium.Write("update.ini", Sjis(ini));
  int exit_code = -1;
  nlohmann::json report = CheckJson(medium, &exit_code);
  EXPECT_EQ(exit_code, 0);
  EXPECT_TRUE(report["problems"].empty()) << report["problems"].dump(2).substr(0, 2000);
  ASSERT_EQ(report["files"].size(), static_cast<size_t>(kEntries));
  ASSERT_EQ(report["copy"].size(), static_cast<size_t>(kEntries));
  std::set<std::string> copied;
  for (const auto& item : report["copy"]) {
    EXPECT_TRUE(item["exists"].get<bool>());
    copied.insert(item["source"].get<std::string>());
  }
  EXPECT_EQ(copied, sources);
}

TEST(WorkedExample, JsonInFull) {
  Medium medium;
  MakeWorkedExample(&medium);
  int exit_code = -1;
  nlohmann::json report = CheckJson(medium, &exit_code);
  nlohmann::json expected = nlohmann::json::parse(R"({
    "settings": {
      "title": "Sample Quest", "title_old": "Sample Quest Trial", "path": "GAME",
      "defdir": "c:\\", "reg_key": "Software\\CORVID LAMP\\SAMPLE", "reg_p": "Software",
      "reg_s": "CORVID LAMP", "reg_t": "SAMPLE", "md": "game._md", "exe": "game.exe",
      "lnk": "game.lnk", "savedir": "sav", "savefile": "game_"
    },
    "types": ["[SYSTEM]", "[DATA]"],
    "files": [
      {"name": "game.exe", "flags": 2147483648, "line": 12},
      {"name": "game.exe", "flags": 1, "line": 14},
      {"name": "data\\bg.pak", "flags": 2, "line": 16},
      {"name": "readme.txt", "flags": 2147483648, "line": 18}
    ],
    "copy": [
      {"name": "game.exe", "source": "GAME\\game.exe", "exists": true},
      {"name": "data\\bg.pak", "source": "GAME\\data\\bg.pak", "exists": true}
    ],
    "test_messages": [],
    "problems": [
      {"line": 12, "severity": "warning", "code": "never-copied",
       "message": "'game.exe' is listed under no file type, so it is never copied"},
      {"line": 14, "severity": "warning", "code": "duplicate-entry",
       "message": "'game.exe' names the same file as the entry on line 12"},
      {"line": 18, "severity": "warning", "code": "never-copied",
       "message": "'readme.txt' is listed under no file type, so it is never copied"},
      {"line": 20, "severity": "warning", "code": "text-outside-list",
       "message": "'free text' stands outside any list and is ignored"}
    ]
  })");
  EXPECT_EQ(report, expected) << report.dump(2);
  // The order of the keys is part of the format readers see.
  std::vector<std::string> keys;
  auto ordered = nlohmann::ordered_json::parse(RunCheck({"--json", medium.dir()}).out);
  for (const auto& item : ordered.items()) keys.push_back(item.key());
  EXPECT_EQ(keys, (std::vector<std::string>{"settings", "types", "files", "copy", "test_messages",
                                            "problems"}));
  EXPECT_EQ(exit_code, 0);
}

TEST(WorkedExample, HumanReport) {
  Medium medium;
  MakeWorkedExample(&medium);
  CheckRun run = RunCheck({medium.dir()});
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out,
            "Medium:   " + medium.dir() +
                "\n"
                "Title:    Sample Quest\n"
                "Registry: HKEY_CURRENT_USER\\Software\\CORVID LAMP\\SAMPLE\n"
                "Source:   GAME\n"
                "2 types, 4 files, 2 to copy\n"
                "\n"
                "Copy plan (on the medium -> in the game folder):\n"
                "  GAME\\game.exe -> game.exe\n"
                "  GAME\\data\\bg.pak -> data\\bg.pak\n"
                "\n"
                "update.ini:12: warning: 'game.exe' is listed under no file type, so it is never "
                "copied [never-copied]\n"
                "update.ini:14: warning: 'game.exe' names the same file as the entry on line 12 "
                "[duplicate-entry]\n"
                "update.ini:18: warning: 'readme.txt' is listed under no file type, so it is "
                "never copied [never-copied]\n"
                "update.ini:20: warning: 'free text' stands outside any list and is ignored "
                "[text-outside-list]\n"
                "\n"
                "0 errors, 4 warnings\n");
}

TEST(Report, TestMessagesAndRefusedOrMissingCopies) {
  Medium medium;
  medium.Write("update.ini", "#INSTALL_LST\n[A]\n#INSTALL_S\n[B]\n#FILE\n[A]\n..\\x.dll\ny.dat\n");
  int exit_code = -1;
  nlohmann::json report = CheckJson(medium, &exit_code);
  EXPECT_EQ(report["test_messages"], nlohmann::json::parse(R"(["not list type", "[B]"])"));
  EXPECT_EQ(report["copy"], nlohmann::json::parse(R"([
      {"name": "..\\x.dll", "source": null, "exists": false},
      {"name": "y.dat", "source": "GAME\\y.dat", "exists": false}])"));
  EXPECT_EQ(exit_code, 1);
}

TEST(Report, JapaneseTextIsDecodedAndBadBytesBecomeReplacementCharacters) {
  Medium medium;
  medium.Write("update.ini", Sjis("#TITLE サンプル ｸｴｽﾄ\n#PATH データ\n") + "#EXE a\x80z\n");
  int exit_code = -1;
  nlohmann::json report = CheckJson(medium, &exit_code);
  EXPECT_EQ(report["settings"]["title"], "サンプル ｸｴｽﾄ");
  EXPECT_EQ(report["settings"]["path"], "データ");
  EXPECT_EQ(report["settings"]["exe"], "a\uFFFDz");
  CheckRun human = RunCheck({medium.dir()});
  EXPECT_NE(human.out.find("Title:    サンプル ｸｴｽﾄ\n"), std::string::npos) << human.out;
}

// A lead byte before a line end takes the line feed into the value, and a
// file may hold escape sequences: the human report shows them as symbols and
// keeps one item a line; the JSON report keeps the text as it is.
TEST(Report, ControlCharactersInTheFileStayOnTheirLine) {
  Medium medium;
  medium.Write("update.ini",
               "#TITLE \x1B[2Jred\x7F\n#PATH GAME\x81\n#INSTALL_LST\n[A]\n#FILE\n[A]\na\rb.dat\n");
  CheckRun run = RunCheck({medium.dir()});
  const std::string shown_path = "GAME\uFFFD\u240A";
  EXPECT_NE(run.out.find("Title:    \u241B[2Jred\u2421\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Source:   " + shown_path + "\n"), std::string::npos) << run.out;
  EXPECT_NE(
      run.out.find("  " + shown_path + "\\a\u240Db.dat -> a\u240Db.dat  (not on the medium)\n"),
      std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("update.ini:7: error: 'a\u240Db.dat' is to be copied from " + shown_path +
                         "\\a\u240Db.dat, which is not on the medium (nor is the folder '" +
                         shown_path + "') [missing-source]\n"),
            std::string::npos)
      << run.out;
  int exit_code = -1;
  nlohmann::json report = CheckJson(medium, &exit_code);
  EXPECT_EQ(report["settings"]["title"], "\x1B[2Jred\x7F");
  EXPECT_EQ(report["settings"]["path"], "GAME\uFFFD\n");
}

TEST(Report, NoSettingsFileKeepsTheDefaults) {
  Medium medium;
  CheckRun run = RunCheck({medium.dir()});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_NE(run.out.find("Registry: HKEY_CURRENT_USER\\Software\\CORVID LAMP\\GAME\n"),
            std::string::npos);
  EXPECT_NE(run.out.find("update.ini:0: error: the medium has no update.ini"), std::string::npos)
      << run.out;
}

struct ArgumentCase {
  const char* name;
  std::vector<std::string> args;  // "MEDIUM" stands for a medium's folder
  int exit_code;
};

void PrintTo(const ArgumentCase& c, std::ostream* out) {
  *out << c.name;
}

class Arguments : public ::testing::TestWithParam<ArgumentCase> {};

TEST_P(Arguments, GiveTheirExitCode) {
  Medium medium;
  MakeWorkedExample(&medium);
  std::vector<std::string> args;
  for (const std::string& arg : GetParam().args) {
    if (arg == "MEDIUM") {
      args.push_back(medium.dir());
    } else if (arg == "FILE") {
      args.push_back(medium.dir() + "/update.ini");
    } else if (arg == "MISSING") {
      args.push_back(medium.dir() + "/nowhere");
    } else {
      args.push_back(arg);
    }
  }
  CheckRun run = RunCheck(args);
  EXPECT_EQ(run.exit_code, GetParam().exit_code) << run.err;
  if (run.exit_code == 2) {
    EXPECT_EQ(run.out, "");
    EXPECT_NE(run.err, "");
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, Arguments,
                         ::testing::ValuesIn(std::vector<ArgumentCase>{
                             {"json_then_folder", {"--json", "MEDIUM"}, 0},
                             {"folder_then_json", {"MEDIUM", "--json"}, 0},
                             {"help", {"--help"}, 0},
                             {"unknown_option", {"--jsno", "MEDIUM"}, 2},
                             {"two_folders", {"MEDIUM", "MEDIUM"}, 2},
                             {"missing_folder", {"MISSING"}, 2},
                             {"a_file_not_a_folder", {"FILE"}, 2},
                             {"empty_folder_name", {""}, 2},
                         }),
                         [](const ::testing::TestParamInfo<ArgumentCase>& info) {
                           return std::string(info.param.name);
                         });

TEST(Arguments, DefaultIsTheCurrentFolder) {
  Medium medium;
  MakeWorkedExample(&medium);
  char previous[4096];
  ASSERT_NE(getcwd(previous, sizeof previous), nullptr);
  ASSERT_EQ(chdir(medium.dir().c_str()), 0);
  CheckRun run = RunCheck({"--json"});
  ASSERT_EQ(chdir(previous), 0);
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(nlohmann::json::parse(run.out)["settings"]["title"], "Sample Quest");
}

TEST(Arguments, TheCurrentFolderIsKept) {
  Medium medium;
  MakeWorkedExample(&medium);
  char before[4096], after[4096];
  ASSERT_NE(getcwd(before, sizeof before), nullptr);
  RunCheck({medium.dir()});
  ASSERT_NE(getcwd(after, sizeof after), nullptr);
  EXPECT_STREQ(before, after);
}

}  // namespace
