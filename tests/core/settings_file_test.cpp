#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "settings/settings.h"
#include "settings/settings_file.h"
#include "text/texts.h"
#include "test_support.h"

namespace {

std::vector<std::string> Selected(uint32_t mask) {
  std::vector<std::string> names;
  SelectFiles(mask);
  char name[kMaxEntryLength + 1];
  while (NextSelectedFile(name, sizeof name) == 0) names.push_back(name);
  return names;
}

std::string WithCrLf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

class SettingsFileTest : public ::testing::Test {
 protected:
  void Parse(const std::string& bytes) { ParseSettingsBytes(bytes); }
  MessageLog messages_;
};

TEST_F(SettingsFileTest, WorkedExample) {
  Parse(kWorkedExample);
  EXPECT_STREQ(settings.title, "Sample Quest");
  EXPECT_STREQ(settings.title_old, "Sample Quest Trial");
  EXPECT_STREQ(settings.path, "GAME");
  EXPECT_STREQ(settings.reg_key, "Software\\CORVID LAMP\\SAMPLE");
  EXPECT_STREQ(settings.defdir, "c:\\");
  EXPECT_STREQ(settings.md, "game._md");
  EXPECT_STREQ(settings.exe, "game.exe");
  EXPECT_STREQ(settings.lnk, "game.lnk");
  EXPECT_STREQ(settings.savedir, "sav");
  EXPECT_STREQ(settings.savefile, "game_");
  ASSERT_EQ(settings.install_lst_count, 2);
  EXPECT_STREQ(settings.install_lst[0], "[SYSTEM]");
  EXPECT_STREQ(settings.install_lst[1], "[DATA]");
  ASSERT_EQ(settings.file_count, 4);
  const FileEntry expected[] = {{"game.exe", 0x80000000u},
                                {"game.exe", 0x00000001u},
                                {"data\\bg.pak", 0x00000002u},
                                {"readme.txt", 0x80000000u}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_STREQ(settings.files[i].name, expected[i].name) << i;
    EXPECT_EQ(settings.files[i].flags, expected[i].flags) << i;
  }
  EXPECT_EQ(Selected(0xFF), (std::vector<std::string>{"game.exe", "data\\bg.pak"}));
  EXPECT_TRUE(messages_.shown.empty());
}

TEST_F(SettingsFileTest, CrLfReadsLikeLf) {
  Parse(WithCrLf(kWorkedExample));
  static SetupSettings crlf;  // tens of megabytes: not on the stack
  crlf = settings;
  Parse(kWorkedExample);
  EXPECT_EQ(memcmp(&crlf, &settings, sizeof settings), 0);
}

TEST_F(SettingsFileTest, MissingFileKeepsDefaults) {
  ResetSettings();
  testing::internal::CaptureStdout();
  OpenSettingsFile(nullptr, 0);  // update.ini could not be opened
  ParseSettingsFile();
  CloseSettingsFile();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), kTextSettingsOpenFailed);
  EXPECT_EQ(std::string(settings.title), Sjis("Titleだよ"));
  EXPECT_EQ(std::string(settings.title_old), Sjis("Titleだよ"));
  EXPECT_STREQ(settings.path, "GAME");
  EXPECT_STREQ(settings.reg_key, "Software\\CORVID LAMP\\GAME");
  EXPECT_EQ(settings.file_count, 0);
  EXPECT_EQ(Selected(0xFF).size(), 0u);
}

struct TitleCase {
  const char* what;
  std::string line;
  std::string title;
};

TEST_F(SettingsFileTest, KeyLineScanning) {
  const std::string kata = "\xB6";  // ｶ, a one-byte katakana
  const TitleCase cases[] = {
      {"quoted", "#TITLE \"Sample Quest\"\n", "Sample Quest"},
      {"unquoted keeps trailing spaces", "#TITLE Sample Quest  \n", "Sample Quest  "},
      {"ends at the first quote", "#TITLE Sample \"Quest\"\n", "Sample "},
      {"no value", "#TITLE\n", ""},
      {"tab separator", "#TITLE\tx\n", "x"},
      {"spaces after an opening quote belong", "#TITLE \"  x\"\n", "  x"},
      {"no final line feed", "#TITLE x", "x"},
      {"CR alone ends the value", "#TITLE x\ry\n", "x"},
      {"lower case key", "#title x\n", "Titleだよ"},
      {"longer key", "#TITLEX x\n", "Titleだよ"},
      {"quote right after the key", "#TITLE\"x\"\n", "Titleだよ"},
      {"last occurrence wins", "#TITLE a\n#TITLE b\n", "b"},
      {"space before # is no key line", " #TITLE x\n", "Titleだよ"},
      {"comment", "# TITLE x\n#\n", "Titleだよ"},
      {"two-byte characters", Sjis("#TITLE \"サンプル\"\n"), Sjis("サンプル")},
      // One-byte katakana end a value like any one-byte character: the line
      // feed or quote after them is not taken as their second byte.
      {"katakana before the line feed", "#TITLE " + kata + "\n#PATH x\n", kata},
      {"katakana before the quote", "#TITLE \"" + kata + "\" tail\n", kata},
      {"NUL ends the text", std::string("#TITLE ab\0cd\n", 13), "ab"},
  };
  for (const TitleCase& c : cases) {
    Parse(c.line);
    std::string expected = c.title == "Titleだよ" ? Sjis(c.title) : c.title;
    EXPECT_EQ(std::string(settings.title), expected) << c.what;
  }
}

TEST_F(SettingsFileTest, KatakanaValueLeavesNextLineAlone) {
  Parse("#PATH DATA\xB6\n#REG_T X\n");
  EXPECT_STREQ(settings.path, "DATA\xB6");
  EXPECT_STREQ(settings.reg_key, "Software\\CORVID LAMP\\X");
}

TEST_F(SettingsFileTest, RegistryKeyFollowsItsParts) {
  Parse("#REG_T SAMPLE\n");
  EXPECT_STREQ(settings.reg_key, "Software\\CORVID LAMP\\SAMPLE");
  Parse("#REG_P A\n#REG_S B\n#REG_T C\n");
  EXPECT_STREQ(settings.reg_key, "A\\B\\C");
  std::string part(500, 'p');
  Parse("#REG_P " + part + "\n#REG_S " + part + "\n#REG_T " + part + "\n");
  EXPECT_EQ(strlen(settings.reg_key), 1023u);
}

TEST_F(SettingsFileTest, SlashInKeyReadsAsBackslash) {
  std::vector<std::string> keys;
  SetParseObserver(
      [](void* context, const ParseEvent& event) {
        if (event.kind == ParseEventKind::kUnknownKey) {
          static_cast<std::vector<std::string>*>(context)->push_back(event.key);
        }
      },
      &keys);
  Parse("#A/B x/y\n");
  SetParseObserver(nullptr, nullptr);
  EXPECT_EQ(keys, std::vector<std::string>{"A\\B"});
}

TEST_F(SettingsFileTest, ListsAndCurrentType) {
  Parse(
      "#INSTALL_LST\n[A]\n[B]\n[C]\n"
      "#FILE\n"
      "   \n"               // spaces only: ignored
      "[C]\n c.dat \t\r\n"  // leading space kept, trailing blanks dropped
      "#TITLE inside\n"     // a text key does not end the list
      "after.dat\n"
      "##\n"
      "ignored.dat\n"
      "#FILE\n"
      "still-c.dat\n"  // the type survives ## and a second #FILE
      "[]\nnone.dat\n"
      "[A]\na/b.dat\n");
  EXPECT_STREQ(settings.title, "inside");
  ASSERT_EQ(settings.file_count, 5);
  const FileEntry expected[] = {{" c.dat", 4u},
                                {"after.dat", 4u},
                                {"still-c.dat", 4u},
                                {"none.dat", 0x80000000u},
                                {"a/b.dat", 1u}};
  for (int i = 0; i < 5; ++i) {
    EXPECT_STREQ(settings.files[i].name, expected[i].name) << i;
    EXPECT_EQ(settings.files[i].flags, expected[i].flags) << i;
  }
}

TEST_F(SettingsFileTest, TypeLookupPrefixRuleAndMessages) {
  Parse("#INSTALL_LST\n[X]\n[DATA]\n[Y]\n[DAY]\n#FILE\n[DA\na.dat\n");
  EXPECT_EQ(settings.files[0].flags, 2u);  // [DA matches [DATA] at index 1 first
  EXPECT_TRUE(messages_.shown.empty());

  Parse("#INSTALL_LST\n[DATA]\n#FILE\n[DATA]\nok.dat\n[MISSING]\nlost.dat\n");
  ASSERT_EQ(messages_.shown.size(), 2u);
  EXPECT_EQ(messages_.shown[0].text, "not list type");
  EXPECT_EQ(messages_.shown[0].caption, "TEST");
  EXPECT_EQ(messages_.shown[1].text, "[MISSING]");
  EXPECT_EQ(messages_.shown[1].caption, "TEST");
  EXPECT_EQ(settings.files[0].flags, 1u);
  EXPECT_EQ(settings.files[1].flags, 0x80000000u);

  messages_.shown.clear();
  Parse("#INSTALL_S\n[DATA]\n#INSTALL_LST\n[DATA]\n#INSTALL_B\n[DATA]\n[DATAX]\n");
  // A lookup sees only the types above it; a longer text is no prefix.
  ASSERT_EQ(messages_.shown.size(), 4u);
  EXPECT_EQ(messages_.shown[1].text, "[DATA]");
  EXPECT_EQ(messages_.shown[3].text, "[DATAX]");
}

TEST_F(SettingsFileTest, LongLinesAreReadInPiecesOf511Bytes) {
  std::string line = "#TITLE " + std::string(593, 'x') + "\n";  // 600 bytes, then LF
  Parse(line + "#PATH p\n");
  EXPECT_EQ(strlen(settings.title), 99u);  // the first piece, cut to the field
  EXPECT_STREQ(settings.path, "p");

  // The 89 bytes after the cut are a line of their own, classified afresh.
  std::string pad(511, 'a');
  Parse("#FILE\n" + pad + "#TITLE cut\n");
  EXPECT_STREQ(settings.title, "cut");
}

struct PieceCase {
  const char* what;
  std::string bytes;   // update.ini's bytes, held in memory
  std::string beyond;  // bytes after them in the same buffer: never read
  std::vector<std::string> pieces;
};

// The pieces the parser is given, each as its bytes up to the length read.
std::vector<std::string> PiecesOf(const std::string& bytes, size_t size) {
  std::vector<std::string> pieces;
  SetParseObserver(
      [](void* context, const ParseEvent& event) {
        if (event.kind != ParseEventKind::kPiece) return;
        static_cast<std::vector<std::string>*>(context)->push_back(
            std::string(event.text, static_cast<size_t>(event.index)));
      },
      &pieces);
  ResetSettings();
  OpenSettingsFile(bytes.data(), size);
  ParseSettingsFile();
  CloseSettingsFile();
  SetParseObserver(nullptr, nullptr);
  return pieces;
}

TEST_F(SettingsFileTest, ReadsTextLikeATextModeStream) {
  const std::string x510(510, 'x');
  const std::string x511(511, 'x');
  const PieceCase cases[] = {
      {"LF ends a line", "a\nb\n", "", {"a\n", "b\n"}},
      {"CR LF reads as LF", "a\r\nb\r\n", "", {"a\n", "b\n"}},
      {"a CR alone stays", "a\rb\n", "", {"a\rb\n"}},
      {"CR CR LF keeps the first CR", "a\r\r\n", "", {"a\r\n"}},
      {"a final line without LF", "a\nb", "", {"a\n", "b"}},
      {"nothing at all", "", "", {}},
      {"0x1A ends the text",
       "a\n\x1A"
       "b\n",
       "",
       {"a\n"}},
      {"0x1A inside a line",
       "ab\x1A"
       "cd\n",
       "",
       {"ab"}},
      {"0x1A first",
       "\x1A"
       "a\n",
       "",
       {}},
      {"CR before 0x1A", "a\r\x1A\n", "", {"a\r"}},
      {"a NUL is read as a byte", std::string("a\0b\n", 4), "", {std::string("a\0b\n", 4)}},
      {"600 bytes: 511, then 89 with the LF",
       std::string(600, 'x') + "\n",
       "",
       {x511, std::string(89, 'x') + "\n"}},
      {"510 bytes and LF fill one piece", x510 + "\n", "", {x510 + "\n"}},
      {"511 bytes: the LF is a piece of its own", x511 + "\n", "", {x511, "\n"}},
      {"CR LF at the end of a full piece", x510 + "\r\n", "", {x510 + "\n"}},
      {"CR LF right after a full piece", x511 + "\r\n", "", {x511, "\n"}},
      {"a CR last is not joined to what lies beyond", "a\r", "\n", {"a\r"}},
      {"the end of the bytes ends the last line", "ab", "cd\n", {"ab"}},
  };
  for (const PieceCase& c : cases) {
    EXPECT_EQ(PiecesOf(c.bytes + c.beyond, c.bytes.size()), c.pieces) << c.what;
  }
}

TEST_F(SettingsFileTest, CtrlZEndsTheFile) {
  Parse("#TITLE a\n\x1A#TITLE b\n");
  EXPECT_STREQ(settings.title, "a");
}

TEST_F(SettingsFileTest, TypeCapacity) {
  std::string ini = "#INSTALL_LST\n";
  for (int i = 0; i < 17; ++i) ini += "[T" + std::to_string(i) + "]\n";
  ini += "[" + std::string(70, 'L') + "]\n";  // 18th: ignored as well
  ini += "#FILE\n[T15]\n" + std::string(31, 'k') + "\n";
  Parse(ini);
  EXPECT_EQ(settings.install_lst_count, 16);
  EXPECT_STREQ(settings.install_lst[15], "[T15]");
  ASSERT_EQ(settings.file_count, 1);
  EXPECT_EQ(settings.files[0].flags, 1u << 15);
  EXPECT_EQ(Selected(0xFF).size(), 0u);  // type 15 is never copied
}

std::string EntryNamed(size_t length, const std::string& unit) {
  std::string name;
  while (name.size() + unit.size() <= length) name += unit;
  return name + std::string(length - name.size(), 'x');
}

struct CapacityCase {
  const char* what;
  std::vector<std::string> entries;  // one line each, under [A]
  int kept;
  std::string last;  // the last entry kept
  int left_out;      // counted, so that the update cannot end as complete
};

// A name is kept whole or not at all: a cut name could name another file.
TEST_F(SettingsFileTest, ListCapacitiesAtTheirEdges) {
  const std::string kLimit = EntryNamed(kMaxEntryLength, "a");
  const std::string kOver = EntryNamed(kMaxEntryLength + 1, "a");
  const std::string kJpLimit = EntryNamed(kMaxEntryLength, Sjis("表"));  // 129 and an x
  const std::string kJpOver = Sjis("フォルダ\\") + EntryNamed(kMaxEntryLength - 8, Sjis("ソ"));
  std::vector<std::string> full;
  for (int i = 0; i < kMaxFiles; ++i) full.push_back("f" + std::to_string(i));
  std::vector<std::string> one_more = full;
  one_more.push_back("one_more.dat");
  const CapacityCase cases[] = {
      {"32 bytes, once too long, now an entry", {std::string(32, 'n')}, 1, std::string(32, 'n'), 0},
      {"a path of exactly the limit", {kLimit}, 1, kLimit, 0},
      {"one byte more is left out", {kOver, "b.dat"}, 1, "b.dat", 1},
      {"two-byte characters up to the limit", {kJpLimit}, 1, kJpLimit, 0},
      {"two-byte characters one byte over", {kJpOver, "b.dat"}, 1, "b.dat", 1},
      {"a 257th file, once refused, now an entry",
       {full.begin(), full.begin() + 257},
       257,
       "f256",
       0},
      {"the 65,536th file", full, kMaxFiles, "f65535", 0},
      {"the 65,537th is left out", one_more, kMaxFiles, "f65535", 1},
  };
  for (const CapacityCase& c : cases) {
    std::string ini = "#INSTALL_LST\n[A]\n#FILE\n[A]\n";
    for (const std::string& entry : c.entries) ini += entry + "\r\n";
    Parse(ini);
    ASSERT_EQ(settings.file_count, c.kept) << c.what;
    EXPECT_EQ(std::string(settings.files[c.kept - 1].name), c.last) << c.what;
    EXPECT_EQ(Selected(1).back(), c.last) << c.what;
    EXPECT_EQ(CountLeftOut(1), c.left_out) << c.what;
    EXPECT_EQ(CountLeftOut(~1u), 0) << c.what;
  }
  EXPECT_EQ(kJpLimit.size(), kMaxEntryLength);
  EXPECT_EQ(kJpOver.size(), kMaxEntryLength + 1);
}

// A short list costs its own few pages, not the capacity's megabytes: the
// slots past the entries in use are neither cleared nor copied over.
// Each line left out counts under its own type, so that only the types an
// update copies make it incomplete; a new parse starts the count again.
TEST_F(SettingsFileTest, LinesLeftOutCountUnderTheirType) {
  const std::string kOver(kMaxEntryLength + 1, 'o');
  Parse("#INSTALL_LST\n[A]\n[B]\n#FILE\n" + kOver + "\n[A]\n" + kOver + "\n[B]\n" + kOver + "\n" +
        kOver + "\nb.dat\n");
  EXPECT_EQ(CountLeftOut(0x80000000u), 1);
  EXPECT_EQ(CountLeftOut(1), 1);
  EXPECT_EQ(CountLeftOut(2), 2);
  EXPECT_EQ(CountLeftOut(0xFF), 3);
  Parse("#FILE\na.dat\n");
  EXPECT_EQ(CountLeftOut(0xFFFFFFFFu), 0);
}

TEST_F(SettingsFileTest, SlotsPastTheListAreNeverWritten) {
  const size_t kSlots[] = {3, 4, 1000, static_cast<size_t>(kMaxFiles) - 1};
  for (size_t slot : kSlots) memset(&settings.files[slot], 0xAB, sizeof settings.files[slot]);
  ResetSettings();
  Parse("#INSTALL_LST\n[A]\n#FILE\n[A]\na.dat\nb.dat\nc.dat\n");
  ASSERT_EQ(settings.file_count, 3);
  for (size_t slot : kSlots) {
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&settings.files[slot]);
    EXPECT_EQ(bytes[0], 0xAB) << slot;
    EXPECT_EQ(bytes[sizeof settings.files[slot] - 1], 0xAB) << slot;
  }
  EXPECT_EQ(Selected(1), (std::vector<std::string>{"a.dat", "b.dat", "c.dat"}));
}

TEST_F(SettingsFileTest, LongTypeNameIsCutSoLaterIndexesHold) {
  std::string jp;
  for (int i = 0; i < 40; ++i) jp += Sjis("型");
  Parse("#INSTALL_LST\n[x" + jp + "]\n[NEXT]\n#FILE\n[NEXT]\na.dat\n");
  ASSERT_EQ(settings.install_lst_count, 2);
  EXPECT_EQ(strlen(settings.install_lst[0]), 62u);  // [x and 30 whole characters
  EXPECT_EQ(settings.files[0].flags, 2u);
}

TEST_F(SettingsFileTest, ValuesAreCutAtCharacterBoundaries) {
  std::string jp;
  for (int i = 0; i < 60; ++i) jp += Sjis("あ");
  Parse("#TITLE a" + jp + "\n");
  EXPECT_EQ(strlen(settings.title), 99u);  // a and 49 characters
  Parse("#TITLE ab" + jp + "\n");
  EXPECT_EQ(strlen(settings.title), 98u);  // never half of the 50th
  EXPECT_EQ(std::string(settings.title + 96), Sjis("あ"));
}

}  // namespace

namespace {

TEST_F(SettingsFileTest, LoneLeadByteAtTheEndOfAListLineIsDropped) {
  // The last byte of the file begins a character that never comes: storing it
  // would give a name no file can have, or an empty one.
  Parse("#INSTALL_LST\n[A]\n\x95");
  EXPECT_EQ(settings.install_lst_count, 1);
  Parse("#INSTALL_LST\n[A]\n#FILE\n[A]\na.dat\n\x95");
  ASSERT_EQ(settings.file_count, 1);
  Parse("#INSTALL_LST\n[A]\n#FILE\n[A]\nb.dat \x95");
  ASSERT_EQ(settings.file_count, 1);
  EXPECT_STREQ(settings.files[0].name, "b.dat");
}

}  // namespace
