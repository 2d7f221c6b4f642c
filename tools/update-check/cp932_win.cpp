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

bool EncodeCp932Table(const std::string& utf8, std::string* cp932) {
  if (utf8.empty()) {
    cp932->clear();
    return true;
  }
  int count = static_cast<int>(utf8.size());
  int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), count, nullptr, 0);
  if (n <= 0) return false;
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), count, &wide[0], n);
  BOOL defaulted = FALSE;
  int m = WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, wide.data(), n, nullptr, 0, nullptr,
                              &defaulted);
  if (m <= 0 || defaulted) return false;
  std::string out(static_cast<size_t>(m), '\0');
  WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, wide.data(), n, &out[0], m, nullptr,
                      &defaulted);
  if (defaulted) return false;
  *cp932 = out;
  return true;
}
