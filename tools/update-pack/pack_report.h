// What update-pack found and did, and its two report forms.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "check_report.h"

enum class FileStatus { kNew, kChanged };

// One file of NEW_DIR that goes on the medium.
struct PackedFile {
  std::string path;   // below NEW_DIR, '/' between names
  std::string entry;  // the file-list line: code page 932, '\' between names
  FileStatus status;
  uint64_t size;
};

struct PackProblem {
  std::string where;  // the file or option it is about, UTF-8
  Severity severity;
  std::string code;
  std::string message;  // UTF-8
};

struct PackReport {
  std::string old_dir, new_dir, medium_dir;  // as given; old_dir empty without --old
  std::vector<PackedFile> files;             // in the order of the file list
  int unchanged = 0;
  std::vector<std::string> removed;  // below OLD_DIR, absent from NEW_DIR
  std::vector<PackProblem> problems;
  std::string settings_text;  // update.ini as written, code page 932
  uint64_t medium_bytes = 0;
  bool checked = false;  // update-check ran on the finished medium
  CheckReport check;
  bool written = false;
};

void AddPackProblem(PackReport* report, const std::string& where, Severity severity,
                    const char* code, const std::string& message);
int CountPackProblems(const PackReport& report, Severity severity);

std::string FormatPackHuman(const PackReport& report);
std::string FormatPackJson(const PackReport& report);
