// The dialog UPDATE: the user confirms or changes the game folder.
#pragma once

#include <windows.h>

INT_PTR CALLBACK InstallFolderDialog(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
