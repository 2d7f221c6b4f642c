#include "settings/text_reader.h"

void ResetTextReader(TextReader* reader, const char* bytes, size_t size) {
  reader->bytes = reinterpret_cast<const unsigned char*>(bytes);
  reader->size = bytes == nullptr ? 0 : size;
  reader->pos = 0;
}

void RewindTextReader(TextReader* reader) {
  reader->pos = 0;
}

// The next byte as text, or -1 at the end.
static int ReadByte(TextReader* reader) {
  if (reader->pos == reader->size) return -1;
  unsigned char c = reader->bytes[reader->pos];
  if (c == 0x1A) {
    // Ctrl-Z ends a text file for good; what follows it is never read.
    reader->pos = reader->size;
    return -1;
  }
  ++reader->pos;
  if (c == '\r' && reader->pos < reader->size && reader->bytes[reader->pos] == '\n') {
    ++reader->pos;
    return '\n';
  }
  return c;
}

bool ReadPiece(TextReader* reader, char* piece, size_t size, size_t* count) {
  size_t n = 0;
  while (n + 1 < size) {
    int c = ReadByte(reader);
    if (c < 0) break;
    piece[n++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  piece[n] = '\0';
  *count = n;
  return n > 0;
}
