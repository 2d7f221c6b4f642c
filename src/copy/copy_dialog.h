// The dialog FILECOPY: copies the selected files into the game folder, one
// per timer tick.
#pragma once

#include <stdint.h>
#include <windows.h>

// The entries the copy takes: those listed under the first eight file types.
constexpr uint32_t kCopyMask = 0xFF;

// Entries of the last copy that failed or were refused.
extern int copy_failed_count;

INT_PTR CALLBACK CopyDialog(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
