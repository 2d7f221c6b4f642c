// Which names a Windows folder can hold.
#pragma once

#include <string>

// Whether name (one name, no separators) could have been made on Windows and
// opened from it by that name: no control character, none of *?"<>|:\ and no
// period or space at its end. Wine shows other names only under a made-up
// short name, so such a name is never the file an entry means.
bool IsWindowsName(const std::string& name);
