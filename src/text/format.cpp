#include "text/format.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "text/sjis.h"

bool FormatText(char* out, size_t size, const char* fmt, ...) {
  if (size == 0) return false;
  if (size > kFormatLimit) size = kFormatLimit;
  out[0] = '\0';
  size_t used = 0;
  bool fit = true;
  va_list args;
  va_start(args, fmt);
  const char* p = fmt;
  while (*p != '\0' && fit) {
    char piece[16];
    const char* text = piece;
    size_t len = CharLength(p);
    if (p[0] == '%' && p[1] == 's') {
      text = va_arg(args, const char*);
      len = 2;
    } else if (p[0] == '%' && p[1] == 'd') {
      snprintf(piece, sizeof piece, "%d", va_arg(args, int));
      len = 2;
    } else if (p[0] == '%' && p[1] == '%') {
      piece[0] = '%';
      piece[1] = '\0';
      len = 2;
    } else {
      piece[0] = p[0];
      piece[1] = len == 2 ? p[1] : '\0';
      piece[2] = '\0';
    }
    fit = CopyText(out + used, size - used, text);
    used += strlen(out + used);
    p += len;
  }
  va_end(args);
  return fit;
}
