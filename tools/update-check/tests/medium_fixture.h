// Scratch update media for update-check's tests.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "test_text.h"

// A fresh folder that is removed with everything in it at the end.
class Medium {
 public:
  Medium();
  ~Medium();
  // Writes bytes to relative ('/' between names), making its folders.
  void Write(const std::string& relative, const std::string& bytes);
  // Makes the folder relative and those above it.
  void Folder(const std::string& relative);
  const std::string& dir() const { return dir_; }

 private:
  std::string dir_;
};

struct CheckRun {
  int exit_code;
  std::string out;
  std::string err;
};

CheckRun RunCheck(const std::vector<std::string>& args);
// Runs update-check --json on the medium and parses what it prints.
nlohmann::json CheckJson(const Medium& medium, int* exit_code);
