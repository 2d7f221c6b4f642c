// The files of an update medium, found the way the updater on Windows finds
// them. Folder paths are the platform's own (UTF-8 on Windows); names inside
// the medium are code page 932.
#pragma once

#include <string>

enum class MediumEntry { kMissing, kFile, kFolder };

// True when dir is a folder whose names can be listed.
bool IsReadableFolder(const std::string& dir);

// What stands at relative under dir: '\' or '/' between names, names matched
// without regard to case. *found gets its path for ReadMediumFile.
MediumEntry FindOnMedium(const std::string& dir, const std::string& relative, std::string* found);

// While one lives, FindOnMedium lists each folder of the medium once and
// matches names in it in O(log N): for one check, during which the medium
// does not change. Without one every lookup reads the folder afresh.
class MediumListingScope {
 public:
  MediumListingScope();
  ~MediumListingScope();
  MediumListingScope(const MediumListingScope&) = delete;
  MediumListingScope& operator=(const MediumListingScope&) = delete;
};

bool ReadMediumFile(const std::string& path, std::string* bytes);
