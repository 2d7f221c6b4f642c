// Reads update.ini's bytes, held in memory, the way a text-mode stream reads
// a file on Windows, the same on every platform: CR LF becomes LF, a byte
// 0x1A ends the text.
#pragma once

#include <stddef.h>

struct TextReader {
  const unsigned char* bytes;  // null: nothing to read
  size_t size;
  size_t pos;
};

void ResetTextReader(TextReader* reader, const char* bytes, size_t size);
// Back to the first byte of the same bytes.
void RewindTextReader(TextReader* reader);

// Reads the next piece of a line: at most size - 1 bytes, up to and including
// a line feed. Stores a terminator after the bytes read and their count in
// *count (a NUL byte inside the piece is stored as it is). Returns false at
// the end of the text, when nothing was read.
bool ReadPiece(TextReader* reader, char* piece, size_t size, size_t* count);
