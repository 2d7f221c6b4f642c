// update.sha256 and update.exe's fingerprint: one medium per kind of damage,
// against the problems it must give, each with its file and line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "medium_fixture.h"
#include "sha256_bytes.h"
#include "verify/fingerprint_slot.h"
#include "verify/hash_list.h"

namespace {

const char kIni[] =
    "#INSTALL_LST\r\n[SYSTEM]\r\n##\r\n#FILE\r\n[SYSTEM]\r\ngame.exe\r\ndata\\a.dat\r\n##\r\n";

std::string Line(const std::string& bytes, const std::string& path) {
  return Sha256Hex(bytes) + "  " + path + "\n";
}

std::string Program(const std::string& digest) {
  return "MZ" + std::string(reinterpret_cast<const char*>(kFingerprintOpen), 16) + digest +
         std::string(reinterpret_cast<const char*>(kFingerprintClose), 16) + "code";
}

std::string BoundTo(const std::string& list) {
  unsigned char digest[kSha256Size];
  Sha256Of(list, digest);
  return Program(std::string(reinterpret_cast<const char*>(digest), kSha256Size));
}

// program behind a PE header whose certificate table is not empty: signed.
std::string Signed(const std::string& program) {
  std::string header(0x200, '\0');
  header.replace(0, 2, "MZ");
  header[0x3C] = 0x40;
  header.replace(0x40, 4, std::string("PE\0\0", 4));
  header[0x40 + 24] = 0x0B;
  header[0x40 + 25] = 0x01;
  header[0x40 + 24 + 96 + 32 + 4] = 0x10;
  return header + program;
}

const std::string kGood =
    Line(kIni, "update.ini") + Line("exe", "GAME/game.exe") + Line("dat", "GAME/data/a.dat");

struct ProofCase {
  const char* name;
  std::string list;  // empty: no update.sha256
  std::string exe;   // empty: no update.exe
  std::string game_exe;
  int exit_code;
  std::vector<std::string> problems;  // "file:line:code"
  std::string hash_list;
  std::string fingerprint;
};

const ProofCase kCases[] = {
    {"PackedWithoutExe", kGood, "", "exe", 0, {}, "present", "no update.exe"},
    {"PackedAndBound", kGood, BoundTo(kGood), "exe", 0, {}, "present", "matches"},
    {"FileChanged",
     kGood,
     BoundTo(kGood),
     "exe!",
     1,
     {"update.sha256:2:file-differs"},
     "present",
     "matches"},
    {"ListedFileMissing",
     kGood + Line("x", "GAME/extra.dat"),
     "",
     "exe",
     1,
     {"update.sha256:4:listed-file-missing"},
     "present",
     "no update.exe"},
    {"EntryNotListed",
     Line(kIni, "update.ini") + Line("exe", "GAME/game.exe"),
     "",
     "exe",
     1,
     {"update.ini:7:not-listed"},
     "present",
     "no update.exe"},
    {"SettingsNotListed",
     Line("exe", "GAME/game.exe") + Line("dat", "GAME/data/a.dat"),
     "",
     "exe",
     1,
     {"update.sha256:0:not-listed"},
     "present",
     "no update.exe"},
    {"MalformedLine",
     kGood + "not a line\n",
     "",
     "exe",
     1,
     {"update.sha256:4:list-malformed"},
     "present",
     "no update.exe"},
    {"ListedTwice",
     kGood + Line("exe", "GAME/game.exe"),
     "",
     "exe",
     1,
     {"update.sha256:4:list-duplicate"},
     "present",
     "no update.exe"},
    // The whole medium rewritten, the list with it: only the fingerprint
    // tells.
    {"ListRewritten",
     kGood,
     BoundTo(kGood + "\n"),
     "exe",
     1,
     {"update.sha256:0:fingerprint-differs"},
     "present",
     "differs"},
    {"BoundExeWithoutList",
     "",
     BoundTo(kGood),
     "exe",
     1,
     {"update.sha256:0:fingerprint-without-list"},
     "absent",
     "differs"},
    {"UnboundExe",
     kGood,
     Program(std::string(32, '\0')),
     "exe",
     0,
     {"update.sha256:0:exe-unbound"},
     "present",
     "none"},
    // Signed while bound to no list, the program refuses every medium.
    {"SignedUnboundExe",
     kGood,
     Signed(Program(std::string(32, '\0'))),
     "exe",
     1,
     {"update.sha256:0:exe-signed-unbound"},
     "present",
     "none"},
    {"SignedUnboundExeHandMade",
     "",
     Signed(Program(std::string(32, '\0'))),
     "exe",
     1,
     {"update.sha256:0:exe-signed-unbound"},
     "absent",
     "none"},
    {"SignedBoundExe", kGood, Signed(BoundTo(kGood)), "exe", 0, {}, "present", "matches"},
    {"ExeWithoutSlot",
     kGood,
     "MZ another program",
     "exe",
     0,
     {"update.sha256:0:exe-without-slot"},
     "present",
     "no slot"},
};

class ProofCaseTest : public ::testing::TestWithParam<ProofCase> {};

void PrintTo(const ProofCase& c, std::ostream* os) {
  *os << c.name;
}

TEST_P(ProofCaseTest, Reports) {
  const ProofCase& c = GetParam();
  Medium medium;
  medium.Write("update.ini", kIni);
  medium.Write("GAME/game.exe", c.game_exe);
  medium.Write("GAME/data/a.dat", "dat");
  if (!c.list.empty()) medium.Write("update.sha256", c.list);
  if (!c.exe.empty()) medium.Write("update.exe", c.exe);
  int exit_code = -1;
  nlohmann::json report = CheckJson(medium, &exit_code);
  std::vector<std::string> problems;
  for (const auto& problem : report["problems"]) {
    problems.push_back(problem.value("file", "update.ini") + ":" +
                       std::to_string(problem["line"].get<int>()) + ":" +
                       problem["code"].get<std::string>());
  }
  EXPECT_EQ(problems, c.problems) << report.dump(2);
  EXPECT_EQ(exit_code, c.exit_code);
  EXPECT_EQ(report["proof"]["update_sha256"], c.hash_list);
  EXPECT_EQ(report["proof"]["fingerprint"], c.fingerprint);
  // The human report names the file and line of each.
  std::string human = RunCheck({medium.dir()}).out;
  for (const std::string& problem : c.problems) {
    std::string where = problem.substr(0, problem.rfind(':') + 1);
    EXPECT_NE(human.find(where), std::string::npos) << human;
  }
}

INSTANTIATE_TEST_SUITE_P(Media, ProofCaseTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<ProofCase>& info) {
                           return info.param.name;
                         });

// A hand-made medium keeps the report it always had: no proof key at all.
TEST(ProofCase, HandMadeMediumHasNoProofKey) {
  Medium medium;
  medium.Write("update.ini", kIni);
  medium.Write("GAME/game.exe", "exe");
  medium.Write("GAME/data/a.dat", "dat");
  int exit_code = -1;
  nlohmann::json report = CheckJson(medium, &exit_code);
  EXPECT_FALSE(report.contains("proof"));
  EXPECT_EQ(exit_code, 0);
}

}  // namespace

namespace {

// The updater holds one line for each entry and one for update.ini; a list
// longer than that is refused whatever its size. Lines past the first name
// game.exe again, so nothing but the count and the repeats is reported.
TEST(ProofCase, ListLongerThanAFullFileListIsRefused) {
  for (size_t lines : {kMaxHashLines, kMaxHashLines + 1}) {
    Medium medium;
    medium.Write("update.ini", kIni);
    medium.Write("GAME/game.exe", "exe");
    medium.Write("GAME/data/a.dat", "dat");
    std::string list = kGood;
    for (size_t i = 3; i < lines; ++i) list += Line("exe", "GAME/game.exe");
    medium.Write("update.sha256", list);
    int exit_code = -1;
    nlohmann::json report = CheckJson(medium, &exit_code);
    size_t too_long = 0;
    size_t repeats = 0;
    for (const auto& problem : report["problems"]) {
      std::string code = problem["code"];
      if (code == "list-unreadable") ++too_long;
      if (code == "list-duplicate") ++repeats;
    }
    EXPECT_EQ(too_long, lines > kMaxHashLines ? 1u : 0u) << lines;
    EXPECT_EQ(repeats, lines - 3) << lines;
    EXPECT_EQ(report["problems"].size(), too_long + repeats) << lines;
  }
}

}  // namespace
