#include <string.h>

#include <map>
#include <memory>
#include <set>
#include <vector>

#include "cp932_text.h"
#include "medium_folders.h"
#include "text/sjis.h"
#include "windows_names.h"

namespace {

// A folder's names that Windows could open: each name, and the first name
// in listing order for each case key.
struct FolderNames {
  std::set<std::string> names;
  std::map<std::string, std::string> by_case;
};

using Listings = std::map<std::string, FolderNames>;
std::unique_ptr<Listings> listings;

void ListNames(const std::string& folder, FolderNames* names) {
  std::vector<std::string> candidates;
  if (!ListMediumFolder(folder, &candidates)) return;
  for (const std::string& candidate : candidates) {
    if (!IsWindowsName(candidate)) continue;
    names->names.insert(candidate);
    names->by_case.emplace(WindowsCaseKey(candidate), candidate);
  }
}

}  // namespace

MediumListingScope::MediumListingScope() {
  listings.reset(new Listings);
}

MediumListingScope::~MediumListingScope() {
  listings.reset();
}

// The name in folder that Windows would open for name: the same name, else
// one that differs only in case. Empty when there is none.
static std::string MatchName(const std::string& folder, const std::string& name) {
  FolderNames fresh;
  const FolderNames* names = &fresh;
  if (listings) {
    auto found = listings->find(folder);
    if (found == listings->end()) {
      found = listings->emplace(folder, FolderNames()).first;
      ListNames(folder, &found->second);
    }
    names = &found->second;
  } else {
    ListNames(folder, &fresh);
  }
  if (names->names.count(name) != 0) return name;
  auto match = names->by_case.find(WindowsCaseKey(name));
  return match == names->by_case.end() ? std::string() : match->second;
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
