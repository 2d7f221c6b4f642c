// Scratch trees for update-pack's tests: OLD, NEW and the medium beside
// them in one folder that is removed at the end.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "medium_fixture.h"

using Files = std::vector<std::pair<std::string, std::string>>;  // path ('/'), bytes

struct PackRun {
  int exit_code;
  std::string out;
  std::string err;
  nlohmann::json json;  // what --json printed; null without it
};

class PackTrees {
 public:
  PackTrees(const Files& old_files, const Files& new_files);
  std::string old_dir() const { return root_.dir() + "/old"; }
  std::string new_dir() const { return root_.dir() + "/new"; }
  std::string medium_dir() const { return root_.dir() + "/medium"; }
  Medium& root() { return root_; }
  // update-pack --json --old OLD NEW MEDIUM, then extra.
  PackRun Pack(const std::vector<std::string>& extra, bool with_old = true);
  // The names in the root folder: the trees, the medium and anything left over.
  std::vector<std::string> RootNames() const;

 private:
  Medium root_;
};

PackRun RunPack(const std::vector<std::string>& args);
bool ReadFile(const std::string& path, std::string* bytes);
// A stand-in for update.exe: a PE header, then the fingerprint slot empty as
// the build leaves it. signed_too gives it a certificate table.
std::string FakeUpdater(bool signed_too = false);
// update.ini as code page 932 with CR LF from UTF-8 lines.
std::string IniBytes(const std::vector<std::string>& lines);
