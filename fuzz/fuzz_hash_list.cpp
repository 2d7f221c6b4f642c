// Any bytes as update.sha256: the reader stays within the input, and every
// line it accepts reads back as a well-formed line of the same bytes.
#include <stdint.h>
#include <string.h>

#include "fuzz_check.h"
#include "verify/hash_list.h"

static bool LineWellFormed(const char* list, size_t start, size_t end, const HashLine& line) {
  char hex[2 * kSha256Size + 1];
  FormatDigest(line.digest, hex);
  if (end - start != 2 * kSha256Size + 2 + line.path_length + 1) return false;
  if (memcmp(list + start, hex, 2 * kSha256Size) != 0) return false;
  if (list[start + 2 * kSha256Size] != ' ' || list[start + 2 * kSha256Size + 1] != ' ') {
    return false;
  }
  if (line.path_offset != start + 2 * kSha256Size + 2 || list[end - 1] != '\n') return false;
  const char* path = list + line.path_offset;
  if (line.path_length == 0 || line.path_length > kMaxListedPath) return false;
  if (path[0] == '/' || path[line.path_length - 1] == '/') return false;
  for (size_t i = 0; i < line.path_length; ++i) {
    char c = path[i];
    if (c == '\n' || c == '\r' || c == '\0' || c == '\\' || c == ':') return false;
    if (c == '/' && path[i + 1] == '/') return false;
  }
  // No name of dots alone: ".", "..".
  for (size_t i = 0; i < line.path_length;) {
    size_t j = i;
    while (j < line.path_length && path[j] != '/') ++j;
    bool dots = j - i <= 2;
    for (size_t k = i; k < j; ++k) dots = dots && path[k] == '.';
    if (dots) return false;
    i = j + 1;
  }
  return true;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The input's own buffer, exactly size bytes: a read past it is reported.
  const char* list = reinterpret_cast<const char*>(data);
  size_t offset = 0;
  size_t lines = 0;
  HashLine line;
  HashLineStatus status;
  for (;;) {
    size_t start = offset;
    status = ReadHashLine(list, size, &offset, &line);
    if (status != kHashLineRead) {
      Check(offset == start, "a refused line moves nothing");
      break;
    }
    Check(offset > start && offset <= size, "the line lies within the input");
    Check(LineWellFormed(list, start, offset, line), "an accepted line is well-formed");
    ++lines;
  }
  size_t malformed = FirstMalformedLine(list, size);
  Check(status == kHashListEnd ? malformed == 0 : malformed == lines + 1,
        "the first malformed line is where reading stopped");
  if (lines > 0 && status == kHashListEnd) {
    unsigned char digest[kSha256Size];
    // The first line's path is always found, once or more.
    size_t first = 0;
    Check(ReadHashLine(list, size, &first, &line) == kHashLineRead, "first line again");
    HashLookup found = LookUpHash(list, size, list + line.path_offset, line.path_length, digest);
    Check(found == kHashListed || found == kHashListedTwice, "a listed path is found");
    if (found == kHashListed) Check(memcmp(digest, line.digest, kSha256Size) == 0, "its digest");
    // The sorted index gives the answer of the scan, for a path listed and
    // for one that sorts next to it without being listed.
    static size_t index[kMaxHashLines];
    size_t count = IndexHashList(list, size, index, kMaxHashLines);
    Check(count == lines || (lines > kMaxHashLines && count > kMaxHashLines), "every line indexed");
    if (count <= kMaxHashLines) {
      unsigned char indexed[kSha256Size];
      Check(FindIndexedHash(list, index, count, list + line.path_offset, line.path_length,
                            indexed) == found,
            "the index finds what the scan finds");
      if (found == kHashListed) Check(memcmp(indexed, digest, kSha256Size) == 0, "the same digest");
      size_t shorter = line.path_length - 1;
      Check(FindIndexedHash(list, index, count, list + line.path_offset, shorter, indexed) ==
                LookUpHash(list, size, list + line.path_offset, shorter, digest),
            "the index agrees on a shorter path");
    }
  }
  return 0;
}
