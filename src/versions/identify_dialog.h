// The dialog IDENTIFY: before anything is written, reads the game's files
// that the update and its version record name, in steps between which the
// dialog answers, and judges what the game folder holds.
#pragma once

#include <windows.h>

#include "preflight/preflight_text.h"
#include "versions/identify.h"

// Set when the close box ended it: nothing is to be written.
extern bool identify_closed;
// The verdict, when not closed. On an update the entries already new are
// marked so.
extern IdentifyOutcome identify_outcome;
// The files that matched no known version, as the game folder names them.
extern NameList unknown_files;

INT_PTR CALLBACK IdentifyDialog(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
