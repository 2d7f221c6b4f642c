// Normalises the game folder the user accepted.
#pragma once

// Rewrites install_dir as drive and folder with single backslashes and no
// trailing backslash; a last component with an extension is dropped. A text
// too long for the work buffers becomes the empty text.
void CheckInstallPath();
