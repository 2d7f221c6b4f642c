#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <string.h>

#include <vector>

#include "locale_text.h"

void UseEnvironmentLocale() {
  setlocale(LC_CTYPE, "");
}

bool LocaleToUtf8(const std::string& text, std::string* utf8) {
  const char* codeset = nl_langinfo(CODESET);
  // The C locale says ASCII, yet a terminal there sends UTF-8 all the same;
  // that is what every name on the disk is taken to be.
  if (strcmp(codeset, "UTF-8") == 0 || strcmp(codeset, "ANSI_X3.4-1968") == 0) {
    *utf8 = text;
    return true;
  }
  iconv_t cd = iconv_open("UTF-8", codeset);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::vector<char> buffer(text.size() * 4 + 8);
  char* in = const_cast<char*>(text.data());
  size_t in_left = text.size();
  char* out = buffer.data();
  size_t out_left = buffer.size();
  bool ok = iconv(cd, &in, &in_left, &out, &out_left) != static_cast<size_t>(-1) && in_left == 0;
  iconv_close(cd);
  if (ok) utf8->assign(buffer.data(), buffer.size() - out_left);
  return ok;
}
