// The shell's folder browser.
#pragma once

#include <stddef.h>
#include <windows.h>

// Lets the user pick a file-system folder, under the instruction text (code
// page 932). Returns 1 when a folder was picked: result (size bytes, at least
// 260) then holds its path, or the empty text when the pick has no
// file-system path. Returns 0, result untouched, when the user cancelled or
// the browser could not start.
unsigned char BrowseForFolder(HWND owner, char* result, size_t size, const char* instruction);

int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM lparam, LPARAM data);
