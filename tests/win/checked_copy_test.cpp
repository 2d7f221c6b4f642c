// SHA-256 through CNG, and the copy that hashes what it writes.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "copy/copy_file.h"
#include "verify/hash_list.h"
#include "win/sha256.h"
#include "win_test_support.h"

namespace {

std::string Hex(const unsigned char* digest) {
  char hex[2 * kSha256Size + 1];
  FormatDigest(digest, hex);
  return hex;
}

bool Digest(const std::string& hex, unsigned char* digest) {
  if (hex.size() != 2 * kSha256Size) return false;
  for (size_t i = 0; i < kSha256Size; ++i) {
    digest[i] = static_cast<unsigned char>(std::stoi(hex.substr(2 * i, 2), nullptr, 16));
  }
  return true;
}

// FIPS 180-2's examples.
const char kAbc[] = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
const char kEmpty[] = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";
const char kMillionA[] = "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0";

TEST(Sha256, KnownDigestsInOneOrManyParts) {
  struct Case {
    std::string bytes;
    size_t part;
    const char* hex;
  };
  const Case cases[] = {{"abc", 3, kAbc},
                        {"abc", 1, kAbc},
                        {"", 1, kEmpty},
                        {std::string(1000000, 'a'), 65536, kMillionA}};
  for (const Case& c : cases) {
    Sha256 state;
    ASSERT_TRUE(StartSha256(&state));
    for (size_t at = 0; at < c.bytes.size(); at += c.part) {
      AddToSha256(&state, c.bytes.data() + at, std::min(c.part, c.bytes.size() - at));
    }
    unsigned char digest[kSha256Size];
    ASSERT_TRUE(FinishSha256(&state, digest));
    EXPECT_EQ(Hex(digest), c.hex) << c.bytes.size() << " bytes in parts of " << c.part;
  }
}

class CheckedCopyTest : public ::testing::Test {
 protected:
  std::string Path932(const char* name) { return folder_.path932() + "\\" + name; }
  std::wstring PathW(const char* name) { return folder_.path() + L"\\" + Wide(name); }
  TempFolder folder_;
};

// Large enough for several chunks: each must enter the hash once.
TEST_F(CheckedCopyTest, MatchingFileReplacesTheOld) {
  WriteTestFile(PathW("src.dat"), std::string(1000000, 'a'));
  WriteTestFile(PathW("dst.dat"), "old");
  unsigned char expected[kSha256Size];
  ASSERT_TRUE(Digest(kMillionA, expected));
  EXPECT_EQ(CopyOneFile(Path932("src.dat").c_str(), Path932("dst.dat").c_str(), nullptr, nullptr,
                        expected),
            kCopyDone);
  EXPECT_EQ(ReadTestFile(PathW("dst.dat")).size(), 1000000u);
  EXPECT_EQ(CountEntries(folder_.path()), 2);
}

TEST_F(CheckedCopyTest, DamagedFileLeavesTheOldAndNoTemporaryCopy) {
  std::string bytes(1000000, 'a');
  bytes[999999] = 'b';
  WriteTestFile(PathW("src.dat"), bytes);
  WriteTestFile(PathW("dst.dat"), "old");
  WriteTestFile(PathW("new.dat"), "");
  DeleteFileW(PathW("new.dat").c_str());
  unsigned char expected[kSha256Size];
  ASSERT_TRUE(Digest(kMillionA, expected));
  EXPECT_EQ(CopyOneFile(Path932("src.dat").c_str(), Path932("dst.dat").c_str(), nullptr, nullptr,
                        expected),
            kCopyDamaged);
  EXPECT_EQ(ReadTestFile(PathW("dst.dat")), "old");
  // A file that was not there before is not there after either.
  EXPECT_EQ(CopyOneFile(Path932("src.dat").c_str(), Path932("new.dat").c_str(), nullptr, nullptr,
                        expected),
            kCopyDamaged);
  EXPECT_EQ(ReadTestFile(PathW("new.dat")), "<missing>");
  EXPECT_EQ(CountEntries(folder_.path()), 2);
}

}  // namespace
