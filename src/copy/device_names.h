// Names that Windows opens as a device rather than as a file.
#pragma once

#include <stddef.h>

// True when the length bytes at name, one name of a path, open a device on
// Windows: CON, PRN, AUX, NUL, COM1 to COM9, LPT1 to LPT9, CONIN$ or
// CONOUT$, in any case, whatever follows the first dot, with spaces before
// that dot (or at the end) ignored.
bool IsDeviceName(const char* name, size_t length);

// True when some name of entry (a code page 932 path, \ or / between names)
// is a device name.
bool EntryNamesDevice(const char* entry);
