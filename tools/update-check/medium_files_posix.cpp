#include <dirent.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "cp932_text.h"
#include "medium_files.h"
#include "settings/settings_file.h"
#include "text/sjis.h"
#include "windows_names.h"

bool IsReadableFolder(const std::string& dir) {
  DIR* folder = opendir(dir.c_str());
  if (folder == nullptr) return false;
  closedir(folder);
  return true;
}

static bool SameIgnoringAsciiCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// The name in folder that Windows would open for name: the same name, else
// one that differs only in case. Empty when there is none.
static std::string MatchName(const std::string& folder, const std::string& name) {
  DIR* listing = opendir(folder.c_str());
  if (listing == nullptr) return std::string();
  std::string match;
  while (const dirent* entry = readdir(listing)) {
    std::string candidate = entry->d_name;
    if (!IsWindowsName(candidate)) continue;
    if (candidate == name) {
      match = candidate;
      break;
    }
    if (match.empty() && SameIgnoringAsciiCase(candidate, name)) match = candidate;
  }
  closedir(listing);
  return match;
}

// Windows opens no name with these characters.
static bool IsValidName(const std::string& name) {
  for (const char* p = name.c_str(); *p != '\0'; p += CharLength(p)) {
    if (static_cast<unsigned char>(*p) < 0x20 || strchr("*?\"<>|", *p) != nullptr) return false;
  }
  return true;
}

MediumEntry FindOnMedium(const std::string& dir, const std::string& relative, std::string* found) {
  // Windows resolves "." and ".." by the text of the path, before it looks
  // at any folder, and passes over empty names between doubled separators.
  // It drops one period that ends a name, and every period and space that
  // end the last name.
  std::vector<std::string> names = SplitCp932Path(relative);
  std::vector<std::string> resolved;
  for (size_t i = 0; i < names.size(); ++i) {
    std::string name = names[i];
    if (name != "." && name != "..") {
      if (name.size() >= 2 && name.back() == '.' && name[name.size() - 2] != '.') name.pop_back();
      if (i + 1 == names.size()) {
        while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
      }
    }
    if (name.empty() || name == ".") continue;
    if (!IsValidName(name)) return MediumEntry::kMissing;
    if (name == "..") {
      if (!resolved.empty() && resolved.back() != "..") {
        resolved.pop_back();
      } else {
        resolved.push_back("..");
      }
      continue;
    }
    resolved.push_back(name);
  }
  std::string path = dir;
  for (const std::string& name : resolved) {
    std::string match = name == ".." ? name : MatchName(path, DecodeCp932(name));
    if (match.empty()) return MediumEntry::kMissing;
    path += "/" + match;
  }
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return MediumEntry::kMissing;
  if (found != nullptr) *found = path;
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
