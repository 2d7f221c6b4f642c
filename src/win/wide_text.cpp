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

bool FromWide(const wchar_t* text, char* out, size_t size) {
  if (size == 0) return false;
  // Each UTF-16 unit becomes at most two bytes, so this holds any text that
  // could fit the largest buffer the program uses.
  char whole[4096];
  int n = WideCharToMultiByte(kCodePage, 0, text, -1, whole, sizeof whole, nullptr, nullptr);
  if (n == 0) {
    // Too long for whole: convert what fits, then report the cut.
    int len = 0;
    while (text[len] != L'\0' && len < static_cast<int>(sizeof whole / 2) - 1) ++len;
    n = WideCharToMultiByte(kCodePage, 0, text, len, whole, sizeof whole - 1, nullptr, nullptr);
    whole[n] = '\0';
    CopyText(out, size, whole);
    return false;
  }
  return CopyText(out, size, whole);
}
