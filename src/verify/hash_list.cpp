#include "verify/hash_list.h"

#include <string.h>

#include "sort/index_sort.h"

static int HexValue(char c) {
  // Upper case is refused: sha256sum writes lower case, and one spelling
  // keeps the comparison of a line with its reprint exact.
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool ReadDigest(const char* hex, unsigned char* digest) {
  for (size_t i = 0; i < kSha256Size; ++i) {
    int high = HexValue(hex[2 * i]);
    int low = HexValue(hex[2 * i + 1]);
    if (high < 0 || low < 0) return false;
    digest[i] = static_cast<unsigned char>(high * 16 + low);
  }
  return true;
}

// A name between separators: not empty, not "." or "..".
static bool NameAcceptable(const char* name, size_t length) {
  if (length == 0) return false;
  if (length == 1 && name[0] == '.') return false;
  if (length == 2 && name[0] == '.' && name[1] == '.') return false;
  return true;
}

// Bytes that Windows or sha256sum would read otherwise are refused: a
// backslash (a separator to Windows, an escape to sha256sum), a colon (a
// drive or a stream), CR and NUL.
bool ListedPathAcceptable(const char* path, size_t length) {
  if (length == 0 || length > kMaxListedPath) return false;
  size_t start = 0;
  for (size_t i = 0; i <= length; ++i) {
    if (i == length || path[i] == '/') {
      if (!NameAcceptable(path + start, i - start)) return false;
      start = i + 1;
      continue;
    }
    char c = path[i];
    if (c == '\\' || c == ':' || c == '\r' || c == '\0') return false;
  }
  return true;
}

HashLineStatus ReadHashLine(const char* list, size_t size, size_t* offset, HashLine* line) {
  size_t at = *offset;
  if (at >= size) return kHashListEnd;
  size_t left = size - at;
  const char* text = list + at;
  const void* end = memchr(text, '\n', left);
  if (end == nullptr) return kHashLineMalformed;  // a last line without its line end
  size_t length = static_cast<size_t>(static_cast<const char*>(end) - text);
  if (length < 2 * kSha256Size + 3) return kHashLineMalformed;
  unsigned char digest[kSha256Size];
  if (!ReadDigest(text, digest)) return kHashLineMalformed;
  // Text mode's two spaces; sha256sum's binary mode (" *") reads the same
  // bytes but is not what is written, so it is not taken.
  if (text[2 * kSha256Size] != ' ' || text[2 * kSha256Size + 1] != ' ') return kHashLineMalformed;
  const char* path = text + 2 * kSha256Size + 2;
  size_t path_length = length - 2 * kSha256Size - 2;
  if (!ListedPathAcceptable(path, path_length)) return kHashLineMalformed;
  line->path_offset = static_cast<size_t>(path - list);
  line->path_length = path_length;
  memcpy(line->digest, digest, sizeof digest);
  *offset = at + length + 1;
  return kHashLineRead;
}

size_t FirstMalformedLine(const char* list, size_t size) {
  size_t offset = 0;
  size_t number = 1;
  HashLine line;
  for (;;) {
    HashLineStatus status = ReadHashLine(list, size, &offset, &line);
    if (status == kHashListEnd) return 0;
    if (status == kHashLineMalformed) return number;
    ++number;
  }
}

HashLookup LookUpHash(const char* list, size_t size, const char* path, size_t path_length,
                      unsigned char* digest) {
  size_t offset = 0;
  int found = 0;
  HashLine line;
  for (;;) {
    HashLineStatus status = ReadHashLine(list, size, &offset, &line);
    if (status == kHashListEnd) break;
    if (status == kHashLineMalformed) return kHashListMalformed;
    if (line.path_length != path_length ||
        memcmp(list + line.path_offset, path, path_length) != 0) {
      continue;
    }
    if (++found > 1) return kHashListedTwice;
    memcpy(digest, line.digest, kSha256Size);
  }
  return found == 1 ? kHashListed : kHashNotListed;
}

// Where the path of the line that starts at offset begins.
constexpr size_t kPathStart = 2 * kSha256Size + 2;

// A listed path ends at its line feed, which no path holds.
int ComparePaths(const char* a, size_t a_length, const char* b, size_t b_length) {
  size_t common = a_length < b_length ? a_length : b_length;
  int order = memcmp(a, b, common);
  if (order != 0) return order;
  return a_length < b_length ? -1 : a_length > b_length ? 1 : 0;
}

static size_t ListedPathLength(const char* list, size_t line) {
  const char* path = list + line + kPathStart;
  return static_cast<size_t>(static_cast<const char*>(memchr(path, '\n', kMaxListedPath + 1)) -
                             path);
}

static int CompareLines(const char* list, size_t a, size_t b) {
  return ComparePaths(list + a + kPathStart, ListedPathLength(list, a), list + b + kPathStart,
                      ListedPathLength(list, b));
}

static int LineOrder(const void* context, size_t a, size_t b) {
  return CompareLines(static_cast<const char*>(context), a, b);
}

size_t IndexHashList(const char* list, size_t size, size_t* lines, size_t capacity) {
  size_t offset = 0;
  size_t count = 0;
  HashLine line;
  for (;;) {
    size_t start = offset;
    HashLineStatus status = ReadHashLine(list, size, &offset, &line);
    if (status != kHashLineRead) break;
    if (count == capacity) return capacity + 1;
    lines[count++] = start;
  }
  // Heap sort: whatever order the publisher's tool wrote the lines in.
  SortIndex(lines, count, LineOrder, list);
  return count;
}

HashLookup FindIndexedHash(const char* list, const size_t* lines, size_t count, const char* path,
                           size_t path_length, unsigned char* digest) {
  size_t low = 0;
  size_t high = count;
  while (low < high) {
    size_t middle = low + (high - low) / 2;
    size_t line = lines[middle];
    if (ComparePaths(list + line + kPathStart, ListedPathLength(list, line), path, path_length) <
        0) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  if (low == count) return kHashNotListed;
  size_t line = lines[low];
  if (ComparePaths(list + line + kPathStart, ListedPathLength(list, line), path, path_length) != 0)
    return kHashNotListed;
  // The first of equal paths was found: a second one follows it.
  if (low + 1 < count && CompareLines(list, line, lines[low + 1]) == 0) return kHashListedTwice;
  HashLine read;
  size_t offset = line;
  ReadHashLine(list, line + kPathStart + path_length + 1, &offset, &read);
  memcpy(digest, read.digest, kSha256Size);
  return kHashListed;
}

void FormatDigest(const unsigned char* digest, char* out) {
  const char kDigits[] = "0123456789abcdef";
  for (size_t i = 0; i < kSha256Size; ++i) {
    out[2 * i] = kDigits[digest[i] >> 4];
    out[2 * i + 1] = kDigits[digest[i] & 15];
  }
  out[2 * kSha256Size] = '\0';
}
