#include <gtest/gtest.h>

#include "text/case_fold.h"

namespace {

struct FoldRow {
  const char* what;
  unsigned short c;
  unsigned short folded;
};

// Upper case, one unit for one, as Windows' CompareStringOrdinal folds; the
// Windows tests hold the whole table against it.
TEST(CaseFold, LettersOfCodePage932) {
  const FoldRow cases[] = {
      {"a", 'a', 'A'},
      {"z", 'z', 'Z'},
      {"A", 'A', 'A'},
      {"@ before A", '@', '@'},
      {"[ after Z", '[', '['},
      {"{ after z", '{', '{'},
      {"ω", 0x03C9, 0x03A9},
      {"Ω", 0x03A9, 0x03A9},
      {"α", 0x03B1, 0x0391},
      {"σ", 0x03C3, 0x03A3},
      {"final ς", 0x03C2, 0x03A3},
      {"д", 0x0434, 0x0414},
      {"Д", 0x0414, 0x0414},
      {"ё", 0x0451, 0x0401},
      {"я", 0x044F, 0x042F},
      {"ⅰ", 0x2170, 0x2160},
      {"ⅹ", 0x2179, 0x2169},
      {"ａ", 0xFF41, 0xFF21},
      {"ｚ", 0xFF5A, 0xFF3A},
      {"Ａ", 0xFF21, 0xFF21},
      {"｀ before ａ", 0xFF40, 0xFF40},
      {"｛ after ｚ", 0xFF5B, 0xFF5B},
      {"ß, no one-unit upper case", 0x00DF, 0x00DF},
      {"あ", 0x3042, 0x3042},
      {"ｱ", 0xFF71, 0xFF71},
      {"Å sign, apart from å", 0x212B, 0x212B},
  };
  for (const FoldRow& c : cases) EXPECT_EQ(FoldCase(c.c), c.folded) << c.what;
}

}  // namespace
