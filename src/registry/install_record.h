// The game folder that the installer recorded in the current user's registry.
#pragma once

#include <stddef.h>

// Reads the value GAMEPATH of HKEY_CURRENT_USER\key_path (code page 932; the
// key is created empty when missing) into dest (size bytes, at least 257).
// dest is left empty when there is no usable GAMEPATH. *unmappable is set when
// the folder has a character that code page 932 cannot spell (shown in dest
// as "?"). Returns the registry's error when the key cannot be opened, else
// the result of closing it.
long ReadInstallRecord(const char* key_path, char* dest, size_t size, bool* unmappable);
