#include "text/sjis.h"

#include <string.h>

bool IsLeadByte(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

size_t CharLength(const char* s) {
  if (IsLeadByte(static_cast<unsigned char>(s[0])) && s[1] != '\0') return 2;
  return 1;
}

// Length of the longest prefix of src made of whole characters that fits in
// room bytes. An incomplete trailing lead byte is never part of it.
static size_t FittingLength(const char* src, size_t room, bool* complete) {
  size_t n = 0;
  while (src[n] != '\0') {
    size_t len = CharLength(src + n);
    if (len == 1 && IsLeadByte(static_cast<unsigned char>(src[n]))) break;
    if (n + len > room) break;
    n += len;
  }
  *complete = src[n] == '\0';
  return n;
}

bool CopyText(char* dst, size_t size, const char* src) {
  if (size == 0) return false;
  bool complete = false;
  size_t n = FittingLength(src, size - 1, &complete);
  memmove(dst, src, n);
  dst[n] = '\0';
  return complete;
}

bool AppendText(char* dst, size_t size, const char* src) {
  size_t used = strnlen(dst, size);
  if (used >= size) return false;
  return CopyText(dst + used, size - used, src);
}

// Two-byte characters can only be told apart by reading from the start.
long LastCharOffset(const char* s) {
  long last = -1;
  size_t i = 0;
  while (s[i] != '\0') {
    last = static_cast<long>(i);
    i += CharLength(s + i);
  }
  return last;
}

bool EndsWithBackslash(const char* s) {
  long last = LastCharOffset(s);
  return last >= 0 && s[last] == '\\' && s[last + 1] == '\0';
}

void RemoveTrailingBackslash(char* s) {
  if (EndsWithBackslash(s)) s[strlen(s) - 1] = '\0';
}
