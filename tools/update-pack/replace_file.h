// Putting a file that was written beside its target in the target's place.
#pragma once

#include <string>

// Renames from over to, replacing the file that stands there; on Windows the
// move is written through to the disk before it returns.
bool ReplaceWithFile(const std::string& from, const std::string& to);
