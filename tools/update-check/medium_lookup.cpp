#include <string.h>

#include <vector>

#include "cp932_text.h"
#include "medium_folders.h"
#include "text/sjis.h"
#include "windows_names.h"

// The name in folder that Windows would open for name: the same name, else
// one that differs only in case. Empty when there is none.
static std::string MatchName(const std::string& folder, const std::string& name) {
  std::vector<std::string> candidates;
  if (!ListMediumFolder(folder, &candidates)) return std::string();
  std::string match;
  for (const std::string& candidate : candidates) {
    if (!IsWindowsName(candidate)) continue;
    if (candidate == name) return candidate;
    if (match.empty() && WindowsCaseKey(candidate) == WindowsCaseKey(name)) match = candidate;
  }
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
  MediumEntry entry = MediumEntryAt(path);
  if (entry != MediumEntry::kMissing && found != nullptr) *found = path;
  return entry;
}
