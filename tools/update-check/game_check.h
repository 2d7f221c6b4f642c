// What the updater would make of a player's game folder with this medium:
// the same judgement, on the same files, as update.exe.
#pragma once

#include <string>
#include <vector>

#include "check_report.h"

struct GameReport {
  // update: it copies the files in copy; applied: "already applied";
  // refuse: unmatched matched no known version; none: the medium has no
  // update.sha256, so the updater copies every file as before; unchecked:
  // the updater refuses the medium before it looks at the folder.
  std::string verdict = "unchecked";
  bool record = false;                 // the medium knows old versions
  std::vector<std::string> versions;   // labels the folder matches
  std::vector<std::string> between;    // none matched: the versions its files are of
  std::vector<std::string> unmatched;  // game paths (UTF-8, '/')
  std::vector<std::string> copy;       // game paths of the carried files not yet new
};

// Judges the folder game_dir against the medium in medium_dir, which report
// (from CheckMedium, the settings record still filled) describes. False,
// with *error said, when a file of the folder cannot be read.
bool CheckGame(const std::string& medium_dir, const std::string& game_dir,
               const CheckReport& report, GameReport* game, std::string* error);
