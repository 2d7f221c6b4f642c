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
  std::string message;  // UTF-8
};

// One entry that the copy would take, in the order it takes them.
struct CopyItem {
  int entry;           // index in the file list
  std::string source;  // code page 932, relative to the medium; empty when refused
  bool refused;        // the updater will not copy it: it leaves the game folder
  bool exists;         // a file stands at source
};

struct CheckReport {
  bool settings_found = false;
  std::vector<int> entry_lines;            // line of each file-list entry
  std::vector<std::string> test_messages;  // code page 932
  std::vector<CopyItem> copy;
  std::vector<Problem> problems;  // in line order
};

int CountProblems(const CheckReport& report, Severity severity);
