// Code page 932 text helpers shared by every subsystem.
#pragma once

#include <stddef.h>

// True when byte c begins a two-byte character of code page 932.
bool IsLeadByte(unsigned char c);

// Length in bytes of the character that starts at s: 1, or 2 for a whole
// two-byte character. A lead byte right before the terminator counts as 1.
size_t CharLength(const char* s);

// Copies src into dst (size bytes with its terminator), cutting at a character
// boundary when it does not fit. A lead byte right before src's terminator is
// an incomplete character and is not copied. Returns true when all of src fit.
bool CopyText(char* dst, size_t size, const char* src);

// Appends src to the text in dst under the same rules as CopyText.
bool AppendText(char* dst, size_t size, const char* src);

// Offset of the last character of s, or -1 for the empty text.
long LastCharOffset(const char* s);

// True when the last character of s is a one-byte backslash.
bool EndsWithBackslash(const char* s);

// Removes a trailing one-byte backslash, if there is one.
void RemoveTrailingBackslash(char* s);
