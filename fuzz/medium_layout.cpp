#include "medium_layout.h"

#include <vector>

#include "copy/copy_paths.h"
#include "copy_plan.h"
#include "cp932_text.h"
#include "settings/settings.h"
#include "settings/settings_file.h"

namespace {

enum Layout : uint8_t {
  kSourceFolder = 1,    // the PATH folder exists even when no entry has a file
  kFirstIsFolder = 2,   // the first entry present is a folder, not a file
  kUpperCaseName = 4,   // the settings file is named UPDATE.INI
  kNoSettings = 8,      // there is no settings file
  kSettingsFolder = 16  // update.ini is a folder
};

// Makes the medium path for a code page 932 path relative to the medium,
// folder by folder. Only plain names are made: nothing is put outside the
// medium. Empty when the path has another kind of name.
std::string MakeFolders(const std::string& root, const std::string& relative, bool last_too,
                        const MediumMaker& make) {
  std::vector<std::string> names = SplitCp932Path(relative);
  std::string path = root;
  for (size_t i = 0; i < names.size(); ++i) {
    if (names[i].empty() || names[i] == "." || names[i] == "..") return "";
    path += "/" + DecodeCp932(names[i]);
    if (i + 1 < names.size() || last_too) make.folder(path);
  }
  return path;
}

}  // namespace

// update.ini, and the sources of the chosen entries, read from a first parse
// of the same bytes.
bool LayOutMedium(const std::string& root, const uint8_t* data, size_t size,
                  const MediumMaker& make) {
  uint8_t present = data[0];
  uint8_t layout = data[1];
  const uint8_t* ini = data + 2;
  size -= 2;
  make.folder(root);
  if (layout & kNoSettings) {
    // no update.ini at all
  } else if (layout & kSettingsFolder) {
    make.folder(root + "/update.ini");
  } else {
    make.file(root + (layout & kUpperCaseName ? "/UPDATE.INI" : "/update.ini"), ini, size);
  }

  ResetSettings();
  OpenSettingsFile(size == 0 ? "" : reinterpret_cast<const char*>(ini), size);
  ParseSettingsFile();
  CloseSettingsFile();

  if (layout & kSourceFolder) MakeFolders(root, settings.path, true, make);
  bool folder_made = false;
  int chosen = 0;
  for (int i = 0; i < settings.file_count && chosen < 8; ++i) {
    if ((settings.files[i].flags & kCopyMask) == 0) continue;
    if ((present & (1u << chosen++)) == 0) continue;
    CopyPaths paths;
    if (BuildCopyPaths(".", settings.path, "G:", settings.files[i].name, &paths) !=
        kCopyPathsReady) {
      continue;
    }
    std::string path = MakeFolders(root, paths.source_path + 2, false, make);
    if (path.empty()) continue;
    if ((layout & kFirstIsFolder) && !folder_made) {
      make.folder(path);
      folder_made = true;
    } else {
      make.file(path, "x", 1);
    }
  }
  return (layout & (kNoSettings | kSettingsFolder)) == 0;
}
