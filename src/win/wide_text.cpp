#include "win/wide_text.h"

#include <windows.h>

#include "text/sjis.h"

constexpr UINT kCodePage = 932;

bool ToWide(const char* text, wchar_t* out, int count) {
  if (count <= 0) return false;
  int n = MultiByteToWideChar(kCodePage, 0, text, -1, out, count);
  if (n == 0) {
    out[0] = L'\0';
    return false;
  }
  return true;
}

// Without WC_NO_BEST_FIT_CHARS Windows spells a character that has no code
// page 932 form with a look-alike: José becomes Jose and update¥v2 becomes
// update\v2, a path to another folder. "?" cannot be part of a file name.
int NarrowText(const wchar_t* text, int count, char* out, int size, bool* unmappable) {
  if (unmappable != nullptr) *unmappable = false;
  if (count == 0) return 0;
  BOOL used_default = FALSE;
  int n = WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, text, count, out, size, "?",
                              &used_default);
  if (unmappable != nullptr) *unmappable = used_default != FALSE;
  return n > 0 ? n : -1;
}

bool FromWide(const wchar_t* text, char* out, size_t size, bool* unmappable) {
  if (unmappable != nullptr) *unmappable = false;
  if (size == 0) return false;
  // Each UTF-16 unit becomes at most two bytes, so whole holds the first
  // units of any text, more than the largest buffer the program uses.
  char whole[4096];
  int count = 0;
  while (text[count] != L'\0' && count < static_cast<int>(sizeof whole / 2) - 1) ++count;
  int n = NarrowText(text, count, whole, static_cast<int>(sizeof whole) - 1, unmappable);
  if (n < 0) n = 0;
  whole[n] = '\0';
  bool cut = text[count] != L'\0';
  return CopyText(out, size, whole) && !cut;
}
