// Writing the medium: in a folder beside MEDIUM_DIR, checked there with
// update-check's own checks, then renamed into place.
#pragma once

#include <string>

#include <vector>

#include "pack_report.h"
#include "settings_writer.h"

struct MediumSource {
  std::string new_dir;
  std::string path_folder;     // the PATH folder, UTF-8, '/' between names; may be empty
  std::string exe;             // update.exe to put beside update.ini; empty for none
  std::vector<KeyValue> keys;  // the text keys written, for reading them back
  std::string type;
};

// Writes report->settings_text and the files to the medium, runs the checks
// and moves it into place. Returns an exit code; *err says what failed.
int BuildMedium(const MediumSource& source, PackReport* report, std::string* err);
