#include "locale_text.h"

// Arguments arrive as UTF-16 and main has made them UTF-8 already, whatever
// the console's code page.
void UseEnvironmentLocale() {}

bool LocaleToUtf8(const std::string& text, std::string* utf8) {
  *utf8 = text;
  return true;
}
