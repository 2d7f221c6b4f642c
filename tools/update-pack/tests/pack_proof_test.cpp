// update.sha256 on the packed medium, and update.exe bound to it.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "pack_fixture.h"
#include "sha256_bytes.h"
#include "verify/fingerprint_slot.h"
#include "verify/hash_list.h"

namespace {

const Files kOld = {{"game.exe", "v1"}, {"same.txt", "same"}};
const Files kNew = {{"game.exe", "v2"}, {"same.txt", "same"}, {"データ/表.dat", "new"}};

std::string Exe(PackTrees* trees, bool signed_too = false) {
  trees->root().Write("build/update.exe", FakeUpdater(signed_too));
  return trees->root().dir() + "/build/update.exe";
}

int ShellIn(const std::string& dir, const std::string& command) {
  return system(("cd '" + dir + "' && " + command + " >/dev/null 2>&1").c_str());
}

TEST(PackProof, ListsUpdateIniThenEachFileInListOrder) {
  PackTrees trees(kOld, kNew);
  PackRun run = trees.Pack({"--path", "DISC1"});
  ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
  std::string ini, record, exe, data, list;
  ASSERT_TRUE(ReadFile(trees.medium_dir() + "/update.ini", &ini));
  ASSERT_TRUE(ReadFile(trees.medium_dir() + "/update.versions", &record));
  ASSERT_TRUE(ReadFile(trees.medium_dir() + "/DISC1/game.exe", &exe));
  ASSERT_TRUE(ReadFile(trees.medium_dir() + "/DISC1/データ/表.dat", &data));
  ASSERT_TRUE(ReadFile(trees.medium_dir() + "/update.sha256", &list));
  EXPECT_EQ(list, Sha256Hex(ini) + "  update.ini\n" + Sha256Hex(record) + "  update.versions\n" +
                      Sha256Hex(data) + "  DISC1/データ/表.dat\n" + Sha256Hex(exe) +
                      "  DISC1/game.exe\n");
  EXPECT_EQ(FirstMalformedLine(list.data(), list.size()), 0u);
}

// Anyone can check a medium with the tools their system has.
TEST(PackProof, Sha256sumAcceptsTheListAndCatchesADamagedFile) {
  if (system("command -v sha256sum >/dev/null") != 0) GTEST_SKIP() << "no sha256sum";
  PackTrees trees(kOld, kNew);
  ASSERT_EQ(trees.Pack({}).exit_code, 0);
  EXPECT_EQ(ShellIn(trees.medium_dir(), "sha256sum --strict -c update.sha256"), 0);
  trees.root().Write("medium/GAME/game.exe", "v3");
  EXPECT_NE(ShellIn(trees.medium_dir(), "sha256sum --strict -c update.sha256"), 0);
}

TEST(PackProof, ExeCarriesTheDigestOfTheList) {
  PackTrees trees(kOld, kNew);
  std::string built = FakeUpdater();
  PackRun run = trees.Pack({"--exe", Exe(&trees)});
  ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
  std::string list, program;
  ASSERT_TRUE(ReadFile(trees.medium_dir() + "/update.sha256", &list));
  ASSERT_TRUE(ReadFile(trees.medium_dir() + "/update.exe", &program));
  size_t offset = 0;
  ASSERT_EQ(FindFingerprintSlots(reinterpret_cast<const unsigned char*>(program.data()),
                                 program.size(), &offset),
            1u);
  unsigned char digest[kSha256Size];
  ASSERT_TRUE(Sha256Of(list, digest));
  EXPECT_EQ(program.substr(offset, kFingerprintSize),
            std::string(reinterpret_cast<const char*>(digest), kSha256Size));
  // Nothing else of the program changed.
  EXPECT_EQ(program.substr(0, offset), built.substr(0, offset));
  EXPECT_EQ(program.substr(offset + kFingerprintSize), built.substr(offset + kFingerprintSize));
  // The build's own copy stays unbound.
  std::string source;
  ASSERT_TRUE(ReadFile(trees.root().dir() + "/build/update.exe", &source));
  EXPECT_EQ(source, built);
}

struct Refused {
  const char* name;
  std::string program;
  const char* says;
};

class PackRefusesExe : public ::testing::TestWithParam<Refused> {};

void PrintTo(const Refused& c, std::ostream* os) {
  *os << c.name;
}

// Stamping a signed program would break its signature; a program without
// the slot is not the updater.
TEST_P(PackRefusesExe, BeforeWritingAnything) {
  PackTrees trees(kOld, kNew);
  trees.root().Write("build/update.exe", GetParam().program);
  PackRun run = trees.Pack({"--exe", trees.root().dir() + "/build/update.exe"});
  EXPECT_EQ(run.exit_code, 2);
  EXPECT_NE(run.err.find(GetParam().says), std::string::npos) << run.err;
  EXPECT_EQ(trees.RootNames(), (std::vector<std::string>{"build", "new", "old"}));
}

std::string TwoSlots() {
  std::string one = FakeUpdater();
  return one + one;
}

INSTANTIATE_TEST_SUITE_P(
    Programs, PackRefusesExe,
    ::testing::Values(Refused{"Signed", FakeUpdater(true), "then sign the medium's update.exe"},
                      Refused{"NoSlot", "MZ a program without a slot", "is not the updater"},
                      Refused{"TwoSlots", TwoSlots(), "more than one slot"}),
    [](const ::testing::TestParamInfo<Refused>& info) { return info.param.name; });

TEST(FingerprintSlot, FoundOnceAndSignatureSeen) {
  std::string program = FakeUpdater();
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(program.data());
  size_t offset = 0;
  EXPECT_EQ(FindFingerprintSlots(bytes, program.size(), &offset), 1u);
  EXPECT_EQ(offset, 0x200 + kFingerprintMarkerSize);
  // A slot cut short at the end of the file is no slot.
  EXPECT_EQ(FindFingerprintSlots(bytes, 0x200 + sizeof(FingerprintSlot) - 1, &offset), 0u);
  EXPECT_FALSE(HasAuthenticodeSignature(bytes, program.size()));
  std::string signed_program = FakeUpdater(true);
  EXPECT_TRUE(HasAuthenticodeSignature(
      reinterpret_cast<const unsigned char*>(signed_program.data()), signed_program.size()));
  // A header that points past the end is no program, signed or not.
  std::string cut = signed_program.substr(0, 0x50);
  EXPECT_FALSE(
      HasAuthenticodeSignature(reinterpret_cast<const unsigned char*>(cut.data()), cut.size()));
}

}  // namespace
