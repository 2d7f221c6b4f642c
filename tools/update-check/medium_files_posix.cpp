#include <dirent.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "medium_folders.h"
#include "settings/settings_file.h"

bool IsReadableFolder(const std::string& dir) {
  DIR* folder = opendir(dir.c_str());
  if (folder == nullptr) return false;
  closedir(folder);
  return true;
}

bool ListMediumFolder(const std::string& folder, std::vector<std::string>* names) {
  DIR* listing = opendir(folder.c_str());
  if (listing == nullptr) return false;
  while (const dirent* entry = readdir(listing)) names->push_back(entry->d_name);
  closedir(listing);
  return true;
}

MediumEntry MediumEntryAt(const std::string& path) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return MediumEntry::kMissing;
  return S_ISDIR(info.st_mode) ? MediumEntry::kFolder : MediumEntry::kFile;
}

bool ReadMediumFile(const std::string& path, std::string* bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

static void ParseInCurrentFolder() {
  CloseSettingsFile();
  OpenSettingsFile();
  ParseSettingsFile();
  CloseSettingsFile();
}

bool ParseSettingsOnMedium(const std::string& dir, const std::string& settings_file) {
  char previous[PATH_MAX];
  char target[PATH_MAX];
  if (getcwd(previous, sizeof previous) == nullptr) return false;
  if (realpath(settings_file.c_str(), target) == nullptr) return false;
  bool ok = true;
  std::string base = settings_file.substr(settings_file.rfind('/') + 1);
  if (base == "update.ini") {
    ok = chdir(dir.c_str()) == 0;
    if (ok) ParseInCurrentFolder();
  } else {
    // The parser opens the name in lower case, as Windows would find any
    // case of it; a link under that name stands in for the file.
    char scratch[] = "/tmp/update-check-XXXXXX";
    if (mkdtemp(scratch) == nullptr) return false;
    std::string link = std::string(scratch) + "/update.ini";
    ok = symlink(target, link.c_str()) == 0 && chdir(scratch) == 0;
    if (ok) ParseInCurrentFolder();
    unlink(link.c_str());
    rmdir(scratch);
  }
  if (chdir(previous) != 0) return false;
  return ok;
}
