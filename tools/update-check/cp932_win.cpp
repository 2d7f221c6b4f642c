#include <windows.h>

#include "cp932_text.h"

constexpr UINT kCodePage = 932;

static bool WideToUtf8(const wchar_t* wide, int count, std::string* utf8) {
  int n = WideCharToMultiByte(CP_UTF8, 0, wide, count, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return false;
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, count, &out[0], n, nullptr, nullptr);
  *utf8 = out;
  return true;
}

bool DecodeCp932Char(const char* bytes, size_t len, std::string* utf8) {
  wchar_t wide[4];
  int n =
      MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, bytes, static_cast<int>(len), wide, 4);
  return n > 0 && WideToUtf8(wide, n, utf8);
}
