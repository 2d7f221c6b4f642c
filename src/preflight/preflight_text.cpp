#include "preflight/preflight_text.h"

#include <string.h>

#include "preflight/space_plan.h"
#include "text/format.h"
#include "text/sjis.h"
#include "text/texts.h"

void ClearNameList(NameList* list) {
  list->count = 0;
}

void AddName(NameList* list, const char* name) {
  if (list->count < kListedNames) {
    CopyText(list->names[list->count], sizeof list->names[0], name);
  }
  ++list->count;
}

// Compares whole names, walking by characters so that the separator is never
// found across two of them.
static bool HasHolder(const char* holders, const char* name) {
  size_t length = strlen(name);
  size_t separator = strlen(kTextHolderSeparator);
  const char* part = holders;
  const char* p = holders;
  while (true) {
    bool at_end = *p == '\0';
    if (at_end || strncmp(p, kTextHolderSeparator, separator) == 0) {
      if (static_cast<size_t>(p - part) == length && strncmp(part, name, length) == 0) return true;
      if (at_end) return false;
      p += separator;
      part = p;
    } else {
      p += CharLength(p);
    }
  }
}

bool AddHolderName(char* holders, size_t size, const char* name) {
  if (name[0] == '\0' || HasHolder(holders, name)) return true;
  char joined[1024];
  bool fit = CopyText(joined, sizeof joined, holders);
  if (holders[0] != '\0') fit = fit && AppendText(joined, sizeof joined, kTextHolderSeparator);
  fit = fit && AppendText(joined, sizeof joined, name);
  if (!fit || strlen(joined) >= size) return false;
  CopyText(holders, size, joined);
  return true;
}

// One name a line, then how many more there were.
static bool AppendNames(char* out, size_t size, const NameList& list) {
  bool fit = true;
  int shown = list.count < kListedNames ? list.count : kListedNames;
  for (int i = 0; i < shown; ++i) {
    fit = fit && AppendText(out, size, "\n") && AppendText(out, size, list.names[i]);
  }
  if (list.count > kListedNames) {
    char more[64];
    FormatText(more, sizeof more, kTextMoreNames, list.count - kListedNames);
    fit = fit && AppendText(out, size, "\n") && AppendText(out, size, more);
  }
  return fit;
}

bool FormatMissingText(const NameList& missing, char* out, size_t size) {
  return CopyText(out, size, kTextSourcesMissing) && AppendNames(out, size, missing);
}

bool FormatNotThisVersionText(const NameList& unknown, char* out, size_t size) {
  return CopyText(out, size, kTextNotThisVersion) && AppendNames(out, size, unknown);
}

bool FormatNotWritableText(const char* folder, char* out, size_t size) {
  return FormatText(out, size, "%s\n%s\n%s", kTextFolderNotWritable, folder, kTextRunAsAdmin);
}

bool FormatUnmappableFolderText(const char* folder, char* out, size_t size) {
  return FormatText(out, size, "%s\n%s", kTextFolderUnmappable, folder);
}

bool FormatNoSpaceText(unsigned long long needed, unsigned long long free_bytes, char* out,
                       size_t size) {
  char needed_text[32];
  char free_text[32];
  char needed_line[128];
  char free_line[128];
  FormatSize(needed, kRoundUp, needed_text, sizeof needed_text);
  FormatSize(free_bytes, kRoundDown, free_text, sizeof free_text);
  FormatText(needed_line, sizeof needed_line, kTextSpaceNeeded, needed_text);
  FormatText(free_line, sizeof free_line, kTextSpaceFree, free_text);
  return FormatText(out, size, "%s\n%s\n%s", kTextNoSpace, needed_line, free_line);
}

bool FormatInUseText(const NameList& in_use, const char* holders, char* out, size_t size) {
  char close[1024];
  bool fit = CopyText(out, size, kTextFilesInUse) && AppendNames(out, size, in_use);
  fit = fit && FormatText(close, sizeof close, kTextCloseHolder,
                          holders[0] != '\0' ? holders : kTextUnnamedHolder);
  return fit && AppendText(out, size, "\n") && AppendText(out, size, close);
}
