// Which names a Windows folder can hold.
#pragma once

#include <string>

// Whether name (one name, no separators) could have been made on Windows and
// opened from it by that name: no control character, none of *?"<>|:\ and no
// period or space at its end. Wine shows other names only under a made-up
// short name, so such a name is never the file an entry means.
bool IsWindowsName(const std::string& name);

// A key that is the same for two UTF-8 names exactly when Windows takes them
// for one name: each letter as Windows folds its case, ASCII letters then
// written in lower case (so that a key compares with a name written so).
// Separators and other bytes are kept as they are.
std::string WindowsCaseKey(const std::string& utf8);
