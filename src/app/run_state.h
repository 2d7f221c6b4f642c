// State of the update run that the dialogs share.
#pragma once

// The game folder, code page 932.
extern char install_dir[1024];
// Set when the game folder's name has a character that code page 932 cannot
// spell: install_dir then shows it as "?" and names no folder.
extern bool install_dir_unmappable;

// Outcome of the last dialog: 1 go on, 0 stop without a message.
extern unsigned char proceed;
