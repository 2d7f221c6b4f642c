#include "pack_fixture.h"

#include <dirent.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "pack_run.h"
#include "verify/fingerprint_slot.h"

PackTrees::PackTrees(const Files& old_files, const Files& new_files) {
  root_.Folder("old");
  root_.Folder("new");
  for (const auto& file : old_files) root_.Write("old/" + file.first, file.second);
  for (const auto& file : new_files) root_.Write("new/" + file.first, file.second);
}

PackRun PackTrees::Pack(const std::vector<std::string>& extra, bool with_old) {
  std::vector<std::string> args = {"--json"};
  if (with_old) args.insert(args.end(), {"--old", old_dir()});
  args.insert(args.end(), {new_dir(), medium_dir()});
  args.insert(args.end(), extra.begin(), extra.end());
  return RunPack(args);
}

std::vector<std::string> PackTrees::RootNames() const {
  std::vector<std::string> names;
  DIR* listing = opendir(root_.dir().c_str());
  while (const dirent* entry = listing != nullptr ? readdir(listing) : nullptr) {
    std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  if (listing != nullptr) closedir(listing);
  std::sort(names.begin(), names.end());
  return names;
}

PackRun RunPack(const std::vector<std::string>& args) {
  PackRun run;
  run.exit_code = RunUpdatePack(args, &run.out, &run.err);
  bool json = std::find(args.begin(), args.end(), "--json") != args.end();
  if (json && !run.out.empty()) run.json = nlohmann::json::parse(run.out);
  return run;
}

bool ReadFile(const std::string& path, std::string* bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

std::string IniBytes(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return Sjis(text);
}

std::string FakeUpdater(bool signed_too) {
  // MZ, the PE header at 0x40, a 32-bit optional header: its certificate
  // table (the 5th data directory) lies at 0x40 + 24 + 96 + 32.
  std::string bytes(0x200, '\0');
  bytes[0] = 'M';
  bytes[1] = 'Z';
  bytes[0x3C] = 0x40;
  bytes.replace(0x40, 4, std::string("PE\0\0", 4));
  bytes[0x40 + 24] = 0x0B;
  bytes[0x40 + 25] = 0x01;
  if (signed_too) bytes[0x40 + 24 + 96 + 32 + 4] = 0x10;
  bytes += std::string(reinterpret_cast<const char*>(kFingerprintOpen), kFingerprintMarkerSize);
  bytes += std::string(kFingerprintSize, '\0');
  bytes += std::string(reinterpret_cast<const char*>(kFingerprintClose), kFingerprintMarkerSize);
  return bytes + "the rest of the program";
}
