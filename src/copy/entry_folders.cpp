#include "copy/entry_folders.h"

#include <string.h>

#include "settings/settings.h"
#include "sort/index_sort.h"
#include "text/sjis.h"

// Up to and including the last separator, walking by characters: the second
// byte of 表 is 0x5C and no separator.
static size_t FolderLength(const char* name) {
  size_t length = 0;
  for (size_t i = 0; name[i] != '\0'; i += CharLength(name + i)) {
    if (name[i] == '\\' || name[i] == '/') length = i + 1;
  }
  return length;
}

static int CompareFolders(size_t a, size_t b) {
  const char* name_a = settings.files[a].name;
  const char* name_b = settings.files[b].name;
  size_t length_a = FolderLength(name_a);
  size_t length_b = FolderLength(name_b);
  int order = memcmp(name_a, name_b, length_a < length_b ? length_a : length_b);
  if (order != 0) return order;
  return length_a < length_b ? -1 : length_a > length_b ? 1 : 0;
}

static int FolderOrder(const void*, size_t a, size_t b) {
  return CompareFolders(a, b);
}

size_t EntryFolders(uint32_t mask, bool (*usable)(const char* name), size_t* entries,
                    size_t capacity) {
  size_t count = 0;
  for (int i = 0; i < settings.file_count && count < capacity; ++i) {
    const FileEntry& entry = settings.files[i];
    if ((entry.flags & mask) != 0 && usable(entry.name)) entries[count++] = static_cast<size_t>(i);
  }
  SortIndex(entries, count, FolderOrder, nullptr);
  size_t kept = 0;
  for (size_t i = 0; i < count; ++i) {
    if (kept == 0 || CompareFolders(entries[kept - 1], entries[i]) != 0)
      entries[kept++] = entries[i];
  }
  return kept;
}
