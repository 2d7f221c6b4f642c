// What update-check found on one medium.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

enum class Severity { kError, kWarning };

struct Problem {
  int line;  // 1-based line of update.ini; 0 for the file as a whole
  Severity severity;
  std::string code;
  std::string message;              // UTF-8
  std::string file = "update.ini";  // the file that line is of
};

// One entry that the copy would take, in the order it takes them.
struct CopyItem {
  int entry;           // index in the file list
  std::string source;  // code page 932, relative to the medium; empty when refused
  bool refused;        // the updater will not copy it: it leaves the game folder
                       // or names a device
  bool exists;         // a file stands at source
};

struct CheckReport {
  bool settings_found = false;
  std::vector<int> entry_lines;            // line of each file-list entry
  std::vector<std::string> test_messages;  // code page 932
  std::vector<CopyItem> copy;
  std::vector<Problem> problems;              // update.ini's in line order, then update.sha256's
  std::string hash_list = "absent";           // update.sha256: absent, present, unreadable
  std::string fingerprint = "no update.exe";  // or: no slot, none, matches, differs
  // update.versions: absent, present, unlisted, unreadable, malformed.
  std::string versions = "absent";
  std::vector<std::string> version_labels;  // UTF-8, when present
};

int CountProblems(const CheckReport& report, Severity severity);
