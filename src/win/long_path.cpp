#include "win/long_path.h"

#include "win/wide_text.h"

static int WideLength(const wchar_t* text) {
  int n = 0;
  while (text[n] != L'\0') ++n;
  return n;
}

bool ToWidePath(const char* path, wchar_t* out, int size) {
  if (!ToWide(path, out, size)) return false;
  if (WideLength(out) < MAX_PATH) return true;
  // Made absolute and cleaned first: with the prefix Windows takes every
  // name literally, dots and doubled separators included.
  static wchar_t full[1024];
  DWORD n = GetFullPathNameW(out, sizeof full / sizeof full[0], full, nullptr);
  if (n == 0 || n >= sizeof full / sizeof full[0]) return false;
  const wchar_t* prefix = L"\\\\?\\";
  const wchar_t* rest = full;
  if (full[0] == L'\\' && full[1] == L'\\') {
    if (full[2] == L'?' || full[2] == L'.') {
      prefix = L"";  // already a prefixed or device path
    } else {
      prefix = L"\\\\?\\UNC\\";
      rest = full + 2;
    }
  }
  int prefix_length = WideLength(prefix);
  int rest_length = WideLength(rest);
  if (prefix_length + rest_length + 1 > size) return false;
  for (int i = 0; i < prefix_length; ++i) out[i] = prefix[i];
  for (int i = 0; i <= rest_length; ++i) out[prefix_length + i] = rest[i];
  return true;
}

bool NamesExistingFile(const char* path) {
  wchar_t wide[1024];
  if (!ToWidePath(path, wide, sizeof wide / sizeof wide[0])) return false;
  DWORD attributes = GetFileAttributesW(wide);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}
