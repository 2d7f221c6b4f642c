// Text from the command line, in the encoding of the user's locale.
#pragma once

#include <string>

// Sets the locale from the environment; once, before LocaleToUtf8.
void UseEnvironmentLocale();

// Converts text given in the locale's encoding to UTF-8. False when the
// bytes are not text in that encoding.
bool LocaleToUtf8(const std::string& text, std::string* utf8);
