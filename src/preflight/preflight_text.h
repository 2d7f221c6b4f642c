// The texts of the checks made before an update changes anything.
#pragma once

#include <stddef.h>

#include "settings/settings.h"

// Names of entries a check found, as many as there were, the first ten kept.
constexpr int kListedNames = 10;
struct NameList {
  int count;
  char names[kListedNames][kMaxEntryLength + 1];
};

void ClearNameList(NameList* list);
void AddName(NameList* list, const char* name);

// Adds a program's name to a list of them joined by "、", once each.
// Returns false when it did not fit (the list then stays as it was).
bool AddHolderName(char* holders, size_t size, const char* name);

// The whole text of each box, code page 932. Each returns false when the
// text had to be cut.
bool FormatMissingText(const NameList& missing, char* out, size_t size);
// The game's files that match no version the update knows.
bool FormatNotThisVersionText(const NameList& unknown, char* out, size_t size);
bool FormatNotWritableText(const char* folder, char* out, size_t size);
bool FormatUnmappableFolderText(const char* folder, char* out, size_t size);
bool FormatNoSpaceText(unsigned long long needed, unsigned long long free_bytes, char* out,
                       size_t size);
// holders empty: no program was named, and the game is the likely one.
bool FormatInUseText(const NameList& in_use, const char* holders, char* out, size_t size);
