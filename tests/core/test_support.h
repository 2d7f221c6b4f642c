// Helpers shared by the core's tests.
#pragma once

#include <string>
#include <vector>

#include "test_text.h"

struct ShownMessage {
  std::string text;
  std::string caption;
};

// Collects the message boxes shown while it lives.
class MessageLog {
 public:
  MessageLog();
  ~MessageLog();
  std::vector<ShownMessage> shown;
};

// Resets the record and parses bytes as update.ini's, held in memory as the
// updater holds them.
void ParseSettingsBytes(const std::string& bytes);
