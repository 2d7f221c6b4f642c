#include "copy/device_names.h"

#include <string.h>

#include "text/sjis.h"

static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};

static bool SameAsciiLetters(const char* name, const char* device, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    char c = name[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != device[i]) return false;
  }
  return true;
}

// Windows looks only at the part before the first dot, so "aux.txt" and
// "nul.tar.gz" are the devices AUX and NUL, and drops the spaces that end
// that part ("CON .txt"). The dot search walks by characters; a device name
// is ASCII, so a two-byte character anywhere in the part means no match.
bool IsDeviceName(const char* name, size_t length) {
  size_t stem = 0;
  while (stem < length && name[stem] != '.') stem += CharLength(name + stem);
  if (stem > length) stem = length;
  while (stem > 0 && name[stem - 1] == ' ') --stem;
  for (const char* device : kDevices) {
    if (stem == strlen(device) && SameAsciiLetters(name, device, stem)) return true;
  }
  // Only the digits 1 to 9 make a port: COM0 and LPT10 are plain files.
  return stem == 4 && name[3] >= '1' && name[3] <= '9' &&
         (SameAsciiLetters(name, "COM", 3) || SameAsciiLetters(name, "LPT", 3));
}

bool EntryNamesDevice(const char* entry) {
  const char* name = entry;
  const char* p = entry;
  while (true) {
    bool at_end = *p == '\0';
    if (at_end || *p == '\\' || *p == '/') {
      if (IsDeviceName(name, static_cast<size_t>(p - name))) return true;
      if (at_end) return false;
      name = p + 1;
    }
    p += CharLength(p);
  }
}
