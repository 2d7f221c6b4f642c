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

// A fresh folder made current for the test's lifetime, holding update.ini.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  void WriteSettings(const std::string& bytes);
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::string previous_;
};

// Resets the record, writes update.ini with bytes and parses it.
void ParseSettingsBytes(ScratchFolder& folder, const std::string& bytes);
