// Code page 932 text shown to people: decoding to UTF-8 and encoding checks.
#pragma once

#include <stddef.h>

#include <string>
#include <vector>

// Decodes one whole character (1 or 2 bytes) with the platform's code page
// 932 table. Returns false when the table does not assign it.
bool DecodeCp932Char(const char* bytes, size_t len, std::string* utf8);

// Encodes UTF-8 text with the platform's code page 932 table, as it stands.
bool EncodeCp932Table(const std::string& utf8, std::string* cp932);

// The code page 932 form of UTF-8 text. False when some character has none
// of its own: a table's best-fit stand-in (another character that merely
// looks alike) does not count, since it would name another file.
bool EncodeCp932(const std::string& utf8, std::string* cp932);

// Length of the character at text[pos] when its bytes are code page 932 (its
// UTF-8 in *utf8), or 0 when they are not: then the byte at pos is invalid.
size_t Cp932CharAt(const std::string& text, size_t pos, std::string* utf8);

// The text as UTF-8, each invalid byte sequence as U+FFFD.
std::string DecodeCp932(const std::string& text);

// The lines of update.ini as the updater reads them: up to a byte 0x1A, split
// at line feeds, a carriage return before a line feed dropped.
std::vector<std::string> SplitSettingsLines(const std::string& bytes);

// Offset of the first byte sequence in line that is not code page 932, or -1;
// its length goes to *length when that is not null.
long FindInvalidCp932(const std::string& line, size_t* length);

// Whether the bytes read as UTF-8 text with at least one non-ASCII character
// (or a byte-order mark); *line is the 1-based line of the first one.
bool LooksLikeUtf8(const std::vector<std::string>& lines, int* line, bool* has_bom);

// The names between the separators (\ or /) of a code page 932 path; a
// trail byte 0x5C is never taken for one.
std::vector<std::string> SplitCp932Path(const std::string& relative);
