// Problems that the parser's own account of update.ini shows.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "check_report.h"
#include "settings/settings_file.h"

// A parse event with its texts kept: the parser's own buffers are reused.
struct RecordedEvent {
  ParseEventKind kind;
  int line;
  std::string key;
  std::string text;
  int index;
  uint32_t flags;
};

// Reports on the events of one parse; lines are the file's lines, for their
// lengths. Also notes the line of each file-list entry.
void ReportParseEvents(const std::vector<RecordedEvent>& events,
                       const std::vector<std::string>& lines, CheckReport* report);
