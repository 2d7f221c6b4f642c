// State of the update run that the dialogs share.
#pragma once

// The game folder, code page 932.
extern char install_dir[1024];

// Outcome of the last dialog: 1 go on, 0 stop without a message.
extern unsigned char proceed;
