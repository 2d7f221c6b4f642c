// Conversion between the program's code page 932 text and the UTF-16 of the
// Windows W functions. Windows builds only.
#pragma once

#include <stddef.h>

// Converts text to UTF-16 in out (count units with terminator). Returns false,
// with out empty, when it does not fit.
bool ToWide(const char* text, wchar_t* out, int count);

// Converts count UTF-16 units, embedded NULs included, to code page 932 in
// out (size bytes, no terminator added). A character that code page 932
// cannot spell becomes "?" and sets *unmappable (when given), else it is
// cleared. Returns the byte count, or -1 when it does not fit.
int NarrowText(const wchar_t* text, int count, char* out, int size, bool* unmappable);

// Converts UTF-16 text to code page 932 in out (size bytes), cut at a
// character boundary when it does not fit, characters without a code page
// 932 form as "?" as NarrowText does. Returns true when nothing was cut.
bool FromWide(const wchar_t* text, char* out, size_t size, bool* unmappable);
