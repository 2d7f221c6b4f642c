// Reads a medium's update.ini with the updater's own parser and looks at the
// medium the way the copy would.
#pragma once

#include <string>

#include "check_report.h"

// Fills the process-wide settings record from dir's update.ini and reports
// on it. False when the medium could not be read at all.
bool CheckMedium(const std::string& dir, CheckReport* report);

// The same without update.sha256 and update.exe: update.ini and the files
// the copy would take, as a medium is before its list is written.
bool CheckMediumFiles(const std::string& dir, CheckReport* report);
