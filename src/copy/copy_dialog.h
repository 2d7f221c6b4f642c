// The dialog FILECOPY: copies the selected files into the game folder, one
// per timer tick.
#pragma once

#include <windows.h>

// Entries of the last copy that failed or were refused.
extern int copy_failed_count;

INT_PTR CALLBACK CopyDialog(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
