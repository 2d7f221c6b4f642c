// What finding a name on a medium needs of it away from Windows, where the
// checker itself has to match names the way Windows would: the medium may
// be on disk or, for the fuzz target, in memory. Paths are UTF-8.
#pragma once

#include <string>
#include <vector>

#include "medium_files.h"

// The names in folder; false when it cannot be listed.
bool ListMediumFolder(const std::string& folder, std::vector<std::string>* names);

// What stands at path, following links.
MediumEntry MediumEntryAt(const std::string& path);
