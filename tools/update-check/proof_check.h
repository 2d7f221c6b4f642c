// update.sha256 and the fingerprint of update.exe, checked as the updater
// checks them before and during the copy.
#pragma once

#include <string>

#include "check_report.h"

// Appends the problems of the medium in dir's proof to report, whose copy
// plan is made, and says what the medium carries.
void CheckProof(const std::string& dir, CheckReport* report);

// How the updater spells the file of a file-list entry in update.sha256:
// below the medium, in UTF-8 with '/' between names.
std::string ListSpelling(const char* entry);

// The game-relative spelling of an entry's file, as update.versions has it:
// UTF-8 with '/' between names.
std::string GameSpelling(const char* entry);
