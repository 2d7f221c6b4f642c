// The dialog IDENTIFY: before anything is written, reads the game's files
// that the update and its version record name, in steps between which the
// dialog answers, and judges what the game folder holds.
#pragma once

#include <windows.h>

#include "preflight/preflight_text.h"

enum IdentifyOutcome {
  kIdentifyClosed,   // the close box: nothing is to be written
  kIdentifyUpdate,   // the entries already new are marked; the others are copied
  kIdentifyApplied,  // every file the update carries already holds its new bytes
  kIdentifyRefused,  // files that match no version the update knows
};

extern IdentifyOutcome identify_outcome;
// The files that matched no known version, as the game folder names them.
extern NameList unknown_files;

INT_PTR CALLBACK IdentifyDialog(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
