// Reads update.ini the way a text-mode stream does on Windows, the same on
// every platform: CR LF becomes LF, a byte 0x1A ends the file.
#pragma once

#include <stddef.h>
#include <stdio.h>

struct TextReader {
  FILE* file;
  unsigned char buffer[4096];
  size_t pos;
  size_t len;
  bool ended;
};

void ResetTextReader(TextReader* reader, FILE* file);

// Reads the next piece of a line: at most size - 1 bytes, up to and including
// a line feed. Stores a terminator after the bytes read and their count in
// *count (a NUL byte inside the piece is stored as it is). Returns false at
// the end of the file, when nothing was read.
bool ReadPiece(TextReader* reader, char* piece, size_t size, size_t* count);
