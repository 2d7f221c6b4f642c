#include "settings/settings_file.h"

#include <stdio.h>
#include <string.h>

#include "settings/settings.h"
#include "settings/text_reader.h"
#include "text/format.h"
#include "text/sjis.h"
#include "text/texts.h"
#include "ui/message_box.h"

static TextReader reader;
static ParseObserver parse_observer = nullptr;
static void* parse_context = nullptr;

void SetParseObserver(ParseObserver observer, void* context) {
  parse_observer = observer;
  parse_context = context;
}

static void Notify(ParseEventKind kind, int line, const char* key, const char* text, int index,
                   uint32_t flags) {
  if (parse_observer == nullptr) return;
  ParseEvent event = {kind, line, key, text, index, flags};
  parse_observer(parse_context, event);
}

void OpenSettingsFile(const char* bytes, size_t size) {
  if (bytes == nullptr) fputs(kTextSettingsOpenFailed, stdout);
  ResetTextReader(&reader, bytes, size);
}

void CloseSettingsFile() {
  ResetTextReader(&reader, nullptr, 0);
}

void ShowTestMessage(const char* text) {
  ShowMessage(nullptr, text, kCaptionTest);
}

int LookupFileType(const char* text) {
  size_t len = strlen(text);
  if (len > 0) {
    for (int i = 0; i < settings.install_lst_count; ++i) {
      if (strncmp(settings.install_lst[i], text, len) == 0) return i;
    }
  }
  ShowTestMessage(kTextNotListType);
  ShowTestMessage(text);
  return -1;
}

struct TextKey {
  const char* key;
  char* field;
  size_t size;
};

struct ListKey {
  const char* key;
  ListMode mode;
};

static const ListKey kListKeys[] = {
    {"INSTALL_LST", kModeTypes}, {"INSTALL_S", kModeGroupS}, {"INSTALL_B", kModeGroupB},
    {"INSTALL_C", kModeGroupC},  {"FILE", kModeFiles},       {"SAVE_LST", kModeSaves},
};

// Looks a key up in the text-key table; null when it is not a text key.
static const TextKey* FindTextKey(const char* key) {
  static const TextKey kTextKeys[] = {
      {"TITLE", settings.title, sizeof settings.title},
      {"TITLE_OLD", settings.title_old, sizeof settings.title_old},
      {"PATH", settings.path, sizeof settings.path},
      {"DEFDIR", settings.defdir, sizeof settings.defdir},
      {"MD", settings.md, sizeof settings.md},
      {"EXE", settings.exe, sizeof settings.exe},
      {"LNK", settings.lnk, sizeof settings.lnk},
      {"REG_P", settings.reg_p, sizeof settings.reg_p},
      {"REG_S", settings.reg_s, sizeof settings.reg_s},
      {"REG_T", settings.reg_t, sizeof settings.reg_t},
      {"SAVEDIR", settings.savedir, sizeof settings.savedir},
      {"SAVEFILE", settings.savefile, sizeof settings.savefile},
  };
  for (const TextKey& entry : kTextKeys) {
    if (strcmp(entry.key, key) == 0) return &entry;
  }
  return nullptr;
}

static const ListKey* FindListKey(const char* key) {
  for (const ListKey& entry : kListKeys) {
    if (strcmp(entry.key, key) == 0) return &entry;
  }
  return nullptr;
}

// Copies one character of a key or value from *p to out, stepping both.
// A lead byte before the end of the text is an incomplete character: the
// scan ends there.
static bool TakeChar(const char** p, char** out) {
  size_t len = CharLength(*p);
  if (len == 1 && IsLeadByte(static_cast<unsigned char>(**p))) return false;
  memcpy(*out, *p, len);
  *p += len;
  *out += len;
  return true;
}

struct KeyLine {
  char key[512];
  char value[512];
  bool text_after_quote;
};

// Scans "KEY value" (the text after the leading '#') into key and value.
static void ScanKeyLine(const char* text, KeyLine* line) {
  const char* p = text;
  char* out = line->key;
  while (*p != '\0' && strchr(" \t\r\n", *p) == nullptr) {
    char c = *p;
    if (!TakeChar(&p, &out)) break;
    if (c == '/') out[-1] = '\\';
  }
  *out = '\0';
  while (*p == ' ' || *p == '\t') ++p;
  if (*p == '"') ++p;
  out = line->value;
  while (*p != '\0' && strchr("\"\r\n", *p) == nullptr) {
    if (!TakeChar(&p, &out)) break;
  }
  *out = '\0';
  line->text_after_quote = false;
  if (*p == '"') {
    for (const char* q = p + 1; *q != '\0' && *q != '\r' && *q != '\n'; ++q) {
      if (*q != ' ' && *q != '\t') line->text_after_quote = true;
    }
  }
}

// Drops trailing line ends and blanks, and a lead byte left without its
// second byte at the end of the file or of a 511-byte piece: a list line
// keeps whole characters only, like a key line's value.
static void TrimLineEnd(char* text) {
  size_t len = strlen(text);
  while (len > 0) {
    char last = text[len - 1];
    long last_char = LastCharOffset(text);
    bool incomplete =
        last_char == static_cast<long>(len - 1) && IsLeadByte(static_cast<unsigned char>(last));
    if (strchr("\n\r \t", last) == nullptr && !incomplete) break;
    text[--len] = '\0';
  }
}

struct ParseState {
  ListMode mode;
  int current_type;
  int line;
};

static void HandleKeyLine(const char* piece, ParseState* state) {
  KeyLine line;
  ScanKeyLine(piece + 1, &line);
  if (const TextKey* text_key = FindTextKey(line.key)) {
    bool fit = CopyText(text_key->field, text_key->size, line.value);
    Notify(ParseEventKind::kTextKey, state->line, line.key, line.value, fit ? 0 : 1, 0);
  } else if (const ListKey* list_key = FindListKey(line.key)) {
    state->mode = list_key->mode;
    Notify(ParseEventKind::kListKey, state->line, line.key, line.value, list_key->mode, 0);
  } else {
    Notify(ParseEventKind::kUnknownKey, state->line, line.key, line.value, 0, 0);
  }
  if (line.text_after_quote) {
    Notify(ParseEventKind::kTextAfterQuote, state->line, line.key, line.value, 0, 0);
  }
}

static void AddFileType(const char* text, int line) {
  if (settings.install_lst_count >= kMaxFileTypes) {
    Notify(ParseEventKind::kTooManyTypes, line, nullptr, text, 0, 0);
    return;
  }
  int index = settings.install_lst_count++;
  bool fit = CopyText(settings.install_lst[index], sizeof settings.install_lst[index], text);
  Notify(ParseEventKind::kTypeAdded, line, nullptr, settings.install_lst[index], index, 0);
  if (!fit) Notify(ParseEventKind::kTypeCut, line, nullptr, text, index, 0);
}

static void AddFileLine(const char* text, ParseState* state) {
  if (text[0] == '[') {
    state->current_type = text[1] == ']' ? -1 : LookupFileType(text);
    Notify(ParseEventKind::kTypeHeader, state->line, nullptr, text, state->current_type, 0);
    return;
  }
  int bit = state->current_type < 0 ? 31 : state->current_type % 32;
  // A cut name could name another file, so a name that does not fit is left
  // out rather than shortened; it is counted, so that the update cannot end
  // as complete without it.
  if (strlen(text) >= sizeof settings.files[0].name) {
    ++settings.left_out[bit];
    Notify(ParseEventKind::kNameTooLong, state->line, nullptr, text, 0, 0);
    return;
  }
  if (settings.file_count >= kMaxFiles) {
    ++settings.left_out[bit];
    Notify(ParseEventKind::kTooManyFiles, state->line, nullptr, text, 0, 0);
    return;
  }
  FileEntry& entry = settings.files[settings.file_count];
  CopyText(entry.name, sizeof entry.name, text);
  entry.flags = 1u << bit;
  Notify(ParseEventKind::kFileAdded, state->line, nullptr, entry.name, settings.file_count,
         entry.flags);
  ++settings.file_count;
}

static void HandleListLine(char* piece, ParseState* state) {
  TrimLineEnd(piece);
  if (piece[0] == '\0') return;
  switch (state->mode) {
    case kModeNone:
      Notify(ParseEventKind::kOutsideList, state->line, nullptr, piece, 0, 0);
      break;
    case kModeTypes:
      AddFileType(piece, state->line);
      break;
    case kModeGroupS:
    case kModeGroupB:
    case kModeGroupC:
      Notify(ParseEventKind::kGroupLine, state->line, nullptr, piece, LookupFileType(piece), 0);
      break;
    case kModeFiles:
      AddFileLine(piece, state);
      break;
    case kModeSaves:
      break;
  }
}

void ParseSettingsFile() {
  if (reader.bytes == nullptr) return;
  RewindTextReader(&reader);
  settings.install_lst_count = 0;
  // Each entry is written as it is added; slots past the count are never
  // read, so they are not cleared either (the list is tens of megabytes).
  settings.file_count = 0;
  memset(settings.left_out, 0, sizeof settings.left_out);

  ParseState state = {kModeNone, -1, 1};
  char piece[512];
  size_t count = 0;
  while (ReadPiece(&reader, piece, sizeof piece, &count)) {
    bool line_ends = piece[count - 1] == '\n';
    Notify(ParseEventKind::kPiece, state.line, nullptr, piece, static_cast<int>(count), 0);
    if (!line_ends && count == sizeof piece - 1) {
      Notify(ParseEventKind::kLineSplit, state.line, nullptr, piece, 0, 0);
    }
    if (piece[0] != '\0') {
      if (piece[0] == '#' && piece[1] == '#') state.mode = kModeNone;
      if (piece[0] == '#') {
        HandleKeyLine(piece, &state);
      } else {
        HandleListLine(piece, &state);
      }
    }
    if (line_ends) ++state.line;
  }
  FormatText(settings.reg_key, sizeof settings.reg_key, "%s\\%s\\%s", settings.reg_p,
             settings.reg_s, settings.reg_t);
}
