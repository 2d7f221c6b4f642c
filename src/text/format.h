// Message formatting with the limits of the Windows formatter the texts were
// written for.
#pragma once

#include <stddef.h>

// Largest formatted text, terminator included.
constexpr size_t kFormatLimit = 1024;

// Formats fmt into out (size bytes). Understands %s, %d and %%; the output
// holds at most kFormatLimit bytes with its terminator and never goes past
// size. A cut falls on a character boundary. Returns true when it all fit.
bool FormatText(char* out, size_t size, const char* fmt, ...);
