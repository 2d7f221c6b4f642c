// The shell's folder browser.
#pragma once

#include <stddef.h>
#include <windows.h>

// Lets the user pick a file-system folder, under the instruction text (code
// page 932). Returns 1 when a folder was picked: result (size bytes, at least
// 260) then holds its path, or the empty text when the pick has no
// file-system path, and *unmappable says whether the path has a character
// that code page 932 cannot spell (shown as "?"). Returns 0, result and
// *unmappable untouched, when the user cancelled or the browser could not
// start.
unsigned char BrowseForFolder(HWND owner, char* result, size_t size, const char* instruction,
                              bool* unmappable);

int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM lparam, LPARAM data);
