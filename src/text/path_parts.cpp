#include "text/path_parts.h"

#include <string.h>

#include "text/sjis.h"

// Copies the bytes [begin, end) of a path into a part of the given size.
static bool CopyRange(char* dst, size_t size, const char* begin, const char* end) {
  char piece[1024];
  size_t len = static_cast<size_t>(end - begin);
  if (len >= sizeof piece) len = sizeof piece - 1;
  memcpy(piece, begin, len);
  piece[len] = '\0';
  return CopyText(dst, size, piece) && begin + len == end;
}

bool SplitPath(const char* path, PathParts* parts) {
  bool fit = true;
  const char* rest = path;
  parts->drive[0] = '\0';
  if (path[0] != '\0' && !IsLeadByte(static_cast<unsigned char>(path[0])) && path[1] == ':') {
    parts->drive[0] = path[0];
    parts->drive[1] = ':';
    parts->drive[2] = '\0';
    rest = path + 2;
  }
  const char* last_component = rest;
  const char* last_dot = nullptr;
  const char* p = rest;
  while (*p != '\0') {
    if (*p == '\\' || *p == '/') last_component = p + 1;
    if (*p == '.') last_dot = p;
    p += CharLength(p);
  }
  fit &= CopyRange(parts->dir, sizeof parts->dir, rest, last_component);
  if (last_dot != nullptr && last_dot >= last_component) {
    fit &= CopyRange(parts->fname, sizeof parts->fname, last_component, last_dot);
    fit &= CopyRange(parts->ext, sizeof parts->ext, last_dot, p);
  } else {
    fit &= CopyRange(parts->fname, sizeof parts->fname, last_component, p);
    parts->ext[0] = '\0';
  }
  return fit;
}

bool MakePath(char* out, size_t size, const char* drive, const char* dir, const char* fname,
              const char* ext) {
  if (size == 0) return false;
  out[0] = '\0';
  bool fit = true;
  if (drive != nullptr && drive[0] != '\0') {
    char letter[3] = {drive[0], ':', '\0'};
    fit &= AppendText(out, size, letter);
  }
  if (dir != nullptr && dir[0] != '\0') {
    fit &= AppendText(out, size, dir);
    long last = LastCharOffset(dir);
    bool has_separator = dir[last + 1] == '\0' && (dir[last] == '\\' || dir[last] == '/');
    if (!has_separator) fit &= AppendText(out, size, "\\");
  }
  if (fname != nullptr) fit &= AppendText(out, size, fname);
  if (ext != nullptr && ext[0] != '\0') {
    if (ext[0] != '.') fit &= AppendText(out, size, ".");
    fit &= AppendText(out, size, ext);
  }
  return fit;
}
