// Checks made before the update changes anything, over the entries the copy
// will select: every source is there, the game folder can be written, there
// is room, and no file to be replaced is in use. Each failure is told once.
#pragma once

#include <stddef.h>

// True when the copy may start. False when a check failed (its box was
// shown) or the user cancelled one; nothing was written either way.
bool RunPreflight();

struct NameList;

// The files-in-use box's text for names, whose wide paths (those of the
// first names listed) give the programs that hold them.
void FormatFilesInUse(const NameList& names, const wchar_t (*paths)[1024], char* out, size_t size);
