// update.ini: parsing its bytes into the settings record.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "settings/settings.h"

// Room for the keys, the type lists and the type headers of the file list.
constexpr size_t kSettingsRoom = 1 << 20;
// The largest update.ini: a full list of the longest entries, each on a
// line of its own with CR LF, and the room above. Its bytes are read whole
// into a buffer of this size, once, and a larger file is refused as a
// damaged medium.
constexpr size_t kMaxSettingsSize =
    static_cast<size_t>(kMaxFiles) * (kMaxEntryLength + 2) + kSettingsRoom;

// The parser reads update.ini from size bytes at bytes: the bytes read (and
// checked) at start, which the caller keeps unchanged until
// CloseSettingsFile. Null bytes mean update.ini could not be opened: says so
// on standard output, and the parse then changes nothing.
void OpenSettingsFile(const char* bytes, size_t size);
void CloseSettingsFile();
void ParseSettingsFile();

// Index of the first file type whose name begins with text, or -1 after
// reporting the unknown name with two test messages.
int LookupFileType(const char* text);

// A message box captioned "TEST" with text.
void ShowTestMessage(const char* text);

// What the parser did with each piece of the file, for tools that explain a
// settings file. The updater itself never sets an observer.
enum class ParseEventKind {
  kPiece,           // text: the piece as read; index: its length in bytes
  kLineSplit,       // the line goes on past this 511-byte piece
  kTextKey,         // key set field to text; index: 1 when the value was cut
  kListKey,         // key switched the list mode; index: the mode
  kUnknownKey,      // a key line whose key is in no table; key may be empty
  kTextAfterQuote,  // key's value was closed by a quote and text follows it
  kOutsideList,     // a list line while no list is open; text: the line
  kTypeAdded,       // text stored as type index; cut when text is longer
  kTypeCut,         // the type name text was cut to fit its slot
  kTooManyTypes,    // text was not stored: the type table is full
  kGroupLine,       // text looked up in a group list; index: the result
  kTypeHeader,      // text set the current type to index
  kFileAdded,       // text stored as entry index with flags
  kNameTooLong,     // text was not stored: longer than a file name may be
  kTooManyFiles,    // text was not stored: the file list is full
};

enum ListMode {
  kModeNone,
  kModeTypes,
  kModeGroupS,
  kModeGroupB,
  kModeGroupC,
  kModeFiles,
  kModeSaves
};

struct ParseEvent {
  ParseEventKind kind;
  int line;         // 1-based line of the file where the piece starts
  const char* key;  // key lines: the key as scanned, '/' read as '\'
  const char* text;
  int index;
  uint32_t flags;
};

using ParseObserver = void (*)(void* context, const ParseEvent& event);
void SetParseObserver(ParseObserver observer, void* context);
