// Which programs hold files open, as the Restart Manager names them.
#pragma once

#include <stddef.h>

// Writes the names of the programs that hold any of the count files (UTF-16
// paths) into out, code page 932, joined by "、". out is empty when none
// could be named: before Vista, or where the Restart Manager names none.
void NameFileHolders(const wchar_t* const* paths, unsigned count, char* out, size_t size);
