// Normalises the game folder the user accepted.
#pragma once

// Rewrites install_dir as drive and folder with single backslashes and no
// trailing backslash. A last component with an extension is dropped when
// names_file says the text names a file (the game's program, say): a folder
// whose name has a dot is the game folder itself. A text too long for the
// work buffers becomes the empty text.
void CheckInstallPath(bool names_file);
