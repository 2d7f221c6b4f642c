#include "memory_medium.h"

#include <map>
#include <vector>

#include "medium_folders.h"

namespace {

struct Node {
  bool folder;
  std::string bytes;
};

// Ordered by path, so that a folder's names follow it as one run.
std::map<std::string, Node> nodes;

// The path with each ".." taken back with the name before it, as the file
// system does: "" is the folder that holds the medium, and nothing is above
// it. The medium then has a parent folder, as it has on disk.
std::string Resolved(const std::string& path) {
  std::vector<std::string> names;
  size_t start = 1;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    std::string name = path.substr(start, end - start);
    if (name == "..") {
      if (!names.empty()) names.pop_back();
    } else if (!name.empty() && name != ".") {
      names.push_back(name);
    }
    start = end + 1;
  }
  std::string resolved;
  for (const std::string& name : names) resolved += "/" + name;
  return resolved;
}

const Node* NodeAt(const std::string& path) {
  static const Node kTop = {true, std::string()};
  std::string resolved = Resolved(path);
  if (resolved.empty()) return &kTop;
  auto found = nodes.find(resolved);
  return found == nodes.end() ? nullptr : &found->second;
}

}  // namespace

void ClearMemoryMedium() {
  nodes.clear();
}

void AddMemoryFolder(const std::string& path) {
  nodes.emplace(path, Node{true, std::string()});
}

void AddMemoryFile(const std::string& path, const void* bytes, size_t size) {
  nodes.emplace(path, Node{false, std::string(static_cast<const char*>(bytes), size)});
}

bool IsReadableFolder(const std::string& dir) {
  return MediumEntryAt(dir) == MediumEntry::kFolder;
}

bool ListMediumFolder(const std::string& folder, std::vector<std::string>* names) {
  if (MediumEntryAt(folder) != MediumEntry::kFolder) return false;
  // Every folder lists these two, as on disk.
  names->push_back(".");
  names->push_back("..");
  std::string prefix = Resolved(folder) + "/";
  for (auto it = nodes.lower_bound(prefix);
       it != nodes.end() && it->first.compare(0, prefix.size(), prefix) == 0; ++it) {
    std::string name = it->first.substr(prefix.size());
    if (name.find('/') == std::string::npos) names->push_back(name);
  }
  return true;
}

MediumEntry MediumEntryAt(const std::string& path) {
  const Node* node = NodeAt(path);
  if (node == nullptr) return MediumEntry::kMissing;
  return node->folder ? MediumEntry::kFolder : MediumEntry::kFile;
}

bool ReadMediumFile(const std::string& path, std::string* bytes) {
  const Node* node = NodeAt(path);
  if (node == nullptr || node->folder) return false;
  *bytes = node->bytes;
  return true;
}
