// Texts shared by the native test suites.
#pragma once

#include <string>

// Converts UTF-8 test text to the code page 932 bytes the program holds.
std::string Sjis(const std::string& utf8);

// A twenty-line update.ini that uses every kind of line once.
extern const char kWorkedExample[];
