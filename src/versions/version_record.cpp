#include "versions/version_record.h"

#include <string.h>

#include "sort/index_sort.h"

static const char kVersionWord[] = "version ";
constexpr size_t kVersionWordLength = sizeof kVersionWord - 1;

static bool IsControl(unsigned char c) {
  return c < 0x20 || c == 0x7F;
}

// Well-formed UTF-8 without control characters: labels and paths are shown
// to people and written into JSON, and each has one spelling only (no
// overlong forms, no surrogates).
static bool PlainUtf8(const char* text, size_t length) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  size_t i = 0;
  while (i < length) {
    unsigned char c = p[i];
    if (c < 0x80) {
      if (IsControl(c)) return false;
      ++i;
      continue;
    }
    size_t more;
    unsigned long code;
    unsigned long lowest;
    if (c >= 0xC2 && c <= 0xDF) {
      more = 1, code = c & 0x1F, lowest = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
      more = 2, code = c & 0x0F, lowest = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
      more = 3, code = c & 0x07, lowest = 0x10000;
    } else {
      return false;
    }
    if (length - i <= more) return false;
    for (size_t k = 1; k <= more; ++k) {
      if ((p[i + k] & 0xC0) != 0x80) return false;
      code = (code << 6) | (p[i + k] & 0x3F);
    }
    if (code < lowest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    // C1 controls move a terminal as the C0 ones do.
    if (code >= 0x80 && code < 0xA0) return false;
    i += more + 1;
  }
  return true;
}

static bool IsVersionLine(const char* text, size_t length) {
  return length >= kVersionWordLength && memcmp(text, kVersionWord, kVersionWordLength) == 0;
}

// Reads the file line text (length bytes, without its LF) into file, with
// path_offset relative to text. False when it is malformed.
static bool ParseFileLine(const char* text, size_t length, VersionFile* file) {
  if (length < kMinVersionFileLine - 1) return false;
  if (!ReadDigest(text, file->digest) || text[2 * kSha256Size] != ' ') return false;
  size_t at = 2 * kSha256Size + 1;
  size_t digits = 0;
  uint64_t size = 0;
  while (at + digits < length && text[at + digits] >= '0' && text[at + digits] <= '9') {
    unsigned digit = static_cast<unsigned>(text[at + digits] - '0');
    if (size > (UINT64_MAX - digit) / 10) return false;
    size = size * 10 + digit;
    ++digits;
  }
  // One spelling of each size: no sign, no leading zero.
  if (digits == 0 || (digits > 1 && text[at] == '0')) return false;
  at += digits;
  if (at >= length || text[at] != ' ') return false;
  ++at;
  const char* path = text + at;
  size_t path_length = length - at;
  if (!ListedPathAcceptable(path, path_length) || !PlainUtf8(path, path_length)) return false;
  file->path_offset = at;
  file->path_length = path_length;
  file->size = size;
  return true;
}

static bool LabelAcceptable(const char* label, size_t length) {
  return length >= 1 && length <= kMaxVersionLabel && PlainUtf8(label, length);
}

// The line that starts at offset at, without its LF, in *length; null at
// the end of the record or for a last line without its LF.
static const char* LineAt(const char* record, size_t size, size_t at, size_t* length) {
  if (at >= size) return nullptr;
  const char* text = record + at;
  const void* end = memchr(text, '\n', size - at);
  if (end == nullptr) return nullptr;
  *length = static_cast<size_t>(static_cast<const char*>(end) - text);
  return text;
}

size_t FirstMalformedVersionLine(const char* record, size_t size) {
  VersionHeading versions[kMaxVersions];
  size_t count = 0;
  size_t previous_path = 0;  // offset of the last file path in this version
  size_t previous_length = 0;
  bool have_previous = false;
  size_t number = 1;
  size_t at = 0;
  for (; at < size; ++number) {
    size_t length = 0;
    const char* text = LineAt(record, size, at, &length);
    if (text == nullptr) return number;
    if (IsVersionLine(text, length)) {
      const char* label = text + kVersionWordLength;
      size_t label_length = length - kVersionWordLength;
      if (!LabelAcceptable(label, label_length) || count == kMaxVersions) return number;
      for (size_t i = 0; i < count; ++i) {
        if (versions[i].label_length == label_length &&
            memcmp(record + versions[i].label_offset, label, label_length) == 0) {
          return number;
        }
      }
      versions[count++] = {at, static_cast<size_t>(label - record), label_length};
      have_previous = false;
    } else {
      VersionFile file;
      if (count == 0 || !ParseFileLine(text, length, &file)) return number;
      const char* path = text + file.path_offset;
      // Sorted and unique within a version: a doubled path could name two
      // contents.
      if (have_previous &&
          ComparePaths(record + previous_path, previous_length, path, file.path_length) >= 0) {
        return number;
      }
      previous_path = static_cast<size_t>(path - record);
      previous_length = file.path_length;
      have_previous = true;
    }
    at += length + 1;
  }
  return count == 0 ? number : 0;
}

size_t ListVersions(const char* record, size_t size, VersionHeading* versions, size_t capacity) {
  size_t count = 0;
  size_t length = 0;
  for (size_t at = 0; const char* text = LineAt(record, size, at, &length); at += length + 1) {
    if (IsVersionLine(text, length)) {
      if (count == capacity) break;
      versions[count++] = {at, at + kVersionWordLength, length - kVersionWordLength};
    }
  }
  return count;
}

// Where the path of the file line at offset line starts, and its length.
static const char* LinePath(const char* record, size_t line, size_t* length) {
  const char* size_field = record + line + 2 * kSha256Size + 1;
  const char* path = static_cast<const char*>(memchr(size_field, ' ', 21)) + 1;
  *length =
      static_cast<size_t>(static_cast<const char*>(memchr(path, '\n', kMaxListedPath + 1)) - path);
  return path;
}

static int LineOrder(const void* context, size_t a, size_t b) {
  const char* record = static_cast<const char*>(context);
  size_t a_length, b_length;
  const char* a_path = LinePath(record, a, &a_length);
  const char* b_path = LinePath(record, b, &b_length);
  int order = ComparePaths(a_path, a_length, b_path, b_length);
  if (order != 0) return order;
  // The heap sort is not stable: the offset keeps one path's lines in
  // version order.
  return a < b ? -1 : a > b ? 1 : 0;
}

size_t IndexVersionFiles(const char* record, size_t size, size_t* lines, size_t capacity) {
  size_t count = 0;
  size_t length = 0;
  for (size_t at = 0; const char* text = LineAt(record, size, at, &length); at += length + 1) {
    if (!IsVersionLine(text, length)) {
      if (count == capacity) return capacity + 1;
      lines[count++] = at;
    }
  }
  SortIndex(lines, count, LineOrder, record);
  return count;
}

// The first position in lines whose path is not before path (or, when
// after is true, is after it).
static size_t Bound(const char* record, const size_t* lines, size_t count, const char* path,
                    size_t length, bool after) {
  size_t low = 0;
  size_t high = count;
  while (low < high) {
    size_t middle = low + (high - low) / 2;
    size_t line_length;
    const char* line_path = LinePath(record, lines[middle], &line_length);
    int order = ComparePaths(line_path, line_length, path, length);
    if (order < 0 || (after && order == 0)) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  return low;
}

void FindVersionPath(const char* record, const size_t* lines, size_t count, const char* path,
                     size_t length, size_t* first, size_t* end) {
  *first = Bound(record, lines, count, path, length, false);
  *end = Bound(record, lines, count, path, length, true);
}

void ReadVersionFile(const char* record, size_t line, VersionFile* file) {
  const char* text = record + line;
  size_t length = static_cast<size_t>(
      static_cast<const char*>(memchr(text, '\n', kMaxListedPath + 2 * kSha256Size + 23)) - text);
  ParseFileLine(text, length, file);
  file->path_offset += line;
}

size_t VersionOfLine(const VersionHeading* versions, size_t count, size_t line) {
  // The last version whose heading comes before the line.
  size_t low = 0;
  size_t high = count;
  while (low < high) {
    size_t middle = low + (high - low) / 2;
    if (versions[middle].line < line) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  return low == 0 ? 0 : low - 1;
}
