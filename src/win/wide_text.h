// Conversion between the program's code page 932 text and the UTF-16 of the
// Windows W functions. Windows builds only.
#pragma once

#include <stddef.h>

// Converts text to UTF-16 in out (count units with terminator). Returns false,
// with out empty, when it does not fit.
bool ToWide(const char* text, wchar_t* out, int count);

// Converts UTF-16 text to code page 932 in out (size bytes), cut at a
// character boundary when it does not fit. Returns true when nothing was cut.
bool FromWide(const wchar_t* text, char* out, size_t size);
