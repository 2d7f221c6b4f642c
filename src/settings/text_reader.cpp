#include "settings/text_reader.h"

void ResetTextReader(TextReader* reader, FILE* file) {
  reader->file = file;
  reader->pos = 0;
  reader->len = 0;
  reader->ended = file == nullptr;
}

static int PeekRaw(TextReader* reader) {
  if (reader->pos == reader->len) {
    if (reader->ended) return EOF;
    reader->pos = 0;
    reader->len = fread(reader->buffer, 1, sizeof reader->buffer, reader->file);
    if (reader->len == 0) {
      reader->ended = true;
      return EOF;
    }
  }
  return reader->buffer[reader->pos];
}

static int ReadByte(TextReader* reader) {
  int c = PeekRaw(reader);
  if (c == EOF) return EOF;
  if (c == 0x1A) {
    // Ctrl-Z ends a text file for good; what follows it is never read.
    reader->ended = true;
    reader->pos = reader->len;
    return EOF;
  }
  ++reader->pos;
  if (c == '\r' && PeekRaw(reader) == '\n') {
    ++reader->pos;
    return '\n';
  }
  return c;
}

bool ReadPiece(TextReader* reader, char* piece, size_t size, size_t* count) {
  size_t n = 0;
  while (n + 1 < size) {
    int c = ReadByte(reader);
    if (c == EOF) break;
    piece[n++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  piece[n] = '\0';
  *count = n;
  return n > 0;
}
