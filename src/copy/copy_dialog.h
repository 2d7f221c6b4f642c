// The dialog FILECOPY: copies the selected files into the game folder, in
// steps of about 20 ms between which the dialog answers.
#pragma once

#include <stdint.h>
#include <windows.h>

// The entries the copy selects from the file list: types 0 to 7.
constexpr uint32_t kCopyMask = 0xFF;

// Entries of the last copy that failed or were refused.
extern int copy_failed_count;

INT_PTR CALLBACK CopyDialog(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
