// What update-pack found and did, and its two report forms.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "check_report.h"

// kChanged when some old version holds the file with other bytes, kNew
// when the old versions that hold it at all hold it as it is.
enum class FileStatus { kNew, kChanged };

// One file of NEW_DIR that goes on the medium.
struct PackedFile {
  std::string path;   // below NEW_DIR, '/' between names
  std::string entry;  // the file-list line: code page 932, '\' between names
  FileStatus status;
  uint64_t size;
  std::vector<std::string> new_against;      // labels of the old versions without it
  std::vector<std::string> changed_against;  // labels of those that hold other bytes
};

// One file of an old version, as update.versions lists it.
struct RecordedFile {
  std::string path;  // below the game folder, UTF-8, '/' between names
  uint64_t size;
  std::string digest;  // 64 lowercase hex digits
};

// One --old folder.
struct PackedVersion {
  std::string label;  // the folder's own name, UTF-8
  std::string dir;    // as given
  std::vector<RecordedFile> files;
};

struct PackProblem {
  std::string where;  // the file or option it is about, UTF-8
  Severity severity;
  std::string code;
  std::string message;  // UTF-8
};

struct PackReport {
  std::string new_dir, medium_dir;      // as given
  std::vector<PackedVersion> versions;  // one per --old, in their order
  std::vector<PackedFile> files;        // in the order of the file list
  int unchanged = 0;                    // files of NEW_DIR that every old version holds as they are
  std::vector<std::string> removed;     // in an old version, absent from NEW_DIR
  std::string record;                   // update.versions; empty without --old
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
