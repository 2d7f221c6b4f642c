#include "pack_plan.h"

#include <algorithm>
#include <map>
#include <set>

#include "copy/copy_paths.h"
#include "copy/device_names.h"
#include "copy/temp_name.h"
#include "cp932_text.h"
#include "settings/settings.h"
#include "windows_names.h"

namespace {

// The largest file name an entry holds.
constexpr size_t kMaxEntryBytes = kMaxEntryLength;

std::vector<std::string> SplitNames(const std::string& path) {
  std::vector<std::string> names;
  size_t start = 0;
  while (true) {
    size_t slash = path.find('/', start);
    names.push_back(path.substr(start, slash - start));
    if (slash == std::string::npos) return names;
    start = slash + 1;
  }
}

struct Candidate {
  PackedFile file;
  std::vector<std::string> names;  // code page 932 where they have a form, else UTF-8
  bool encoded;
};

// Folders first, each folder's contents before the files beside it, and
// byte order of the code page 932 names within a folder: the order is the
// same on every platform, whatever order the disk lists names in.
bool ListsBefore(const Candidate& a, const Candidate& b) {
  const std::vector<std::string>& x = a.names;
  const std::vector<std::string>& y = b.names;
  for (size_t i = 0; i < x.size() && i < y.size(); ++i) {
    bool x_file = i + 1 == x.size();
    bool y_file = i + 1 == y.size();
    if (x_file != y_file) return y_file;
    if (x[i] != y[i]) return x[i] < y[i];
  }
  return x.size() < y.size();
}

Candidate MakeCandidate(const TreeFile& file, FileStatus status) {
  Candidate candidate = {{file.path, "", status, file.size}, SplitNames(file.path), true};
  for (std::string& name : candidate.names) {
    std::string cp932;
    if (EncodeCp932(name, &cp932)) {
      name = cp932;
    } else {
      candidate.encoded = false;
    }
  }
  if (candidate.encoded) {
    for (size_t i = 0; i < candidate.names.size(); ++i) {
      candidate.file.entry += (i > 0 ? "\\" : "") + candidate.names[i];
    }
  }
  return candidate;
}

// Windows matches names whatever their case; the suffix is ASCII, which
// UTF-8 keeps apart from every other character.
bool IsUpdaterTempName(const std::string& utf8) {
  std::string lower = utf8;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
  return IsTempName(lower.c_str());
}

std::string Quote(const std::string& utf8) {
  return "'" + utf8 + "'";
}

// What keeps one file from being listed, or null; *message says why.
const char* EntryProblem(const Candidate& candidate, std::string* message) {
  const PackedFile& file = candidate.file;
  if (!candidate.encoded) {
    *message = "the name has no code page 932 form, so no file list can name it";
    return "not-cp932";
  }
  if (!IsEntryInsideGameFolder(file.entry.c_str())) {
    *message =
        "the updater refuses this name: a colon or a name of dots only would lead out of "
        "the game folder";
    return "escapes-game-folder";
  }
  for (const std::string& name : SplitNames(file.path)) {
    if (!IsWindowsName(name)) {
      *message = Quote(name) +
                 " cannot be a name on Windows (a control character, one of *?\"<>|:\\, or a "
                 "period or space at its end)";
      return "not-a-windows-name";
    }
  }
  const std::vector<std::string> utf8_names = SplitNames(file.path);
  for (size_t i = 0; i < candidate.names.size(); ++i) {
    const std::string& name = candidate.names[i];
    if (IsDeviceName(name.data(), name.size())) {
      *message = Quote(utf8_names[i]) +
                 " opens a device on Windows, not a file (CON, PRN, AUX, NUL, COM1-9, LPT1-9, "
                 "CONIN$ or CONOUT$ before the first dot): the updater refuses it";
      return "device-name";
    }
  }
  if (IsUpdaterTempName(file.path)) {
    *message = std::string("the updater names its temporary copies so (") + kTempSuffix +
               ") and removes such files from the game folder";
    return "temporary-name";
  }
  if (file.entry.size() > kMaxEntryBytes) {
    *message = "the path is " + std::to_string(file.entry.size()) +
               " bytes in code page 932; an entry of the file list holds " +
               std::to_string(kMaxEntryBytes);
    return "name-too-long";
  }
  if (file.entry[0] == '#' || file.entry[0] == '[') {
    *message = std::string("a file-list line that starts with ") + file.entry[0] +
               " is read as a " + (file.entry[0] == '#' ? "key line" : "type header") +
               ", not as a file";
    return "not-a-list-line";
  }
  return nullptr;
}

// Every folder above each path, by key.
std::set<std::string> FolderKeys(const std::vector<std::string>& paths) {
  std::set<std::string> keys;
  for (const std::string& path : paths) {
    std::string key = SameFileKey(path);
    for (size_t slash = key.find('/'); slash != std::string::npos;
         slash = key.find('/', slash + 1)) {
      keys.insert(key.substr(0, slash));
    }
  }
  return keys;
}

std::vector<std::string> Paths(const Tree& tree) {
  std::vector<std::string> paths;
  for (const TreeFile& file : tree.files) paths.push_back(file.path);
  return paths;
}

// Names that Windows would take for one file or folder, in NEW_DIR itself
// and against what OLD_DIR leaves in the game folder.
void CheckClashes(const std::vector<Candidate>& listed, const Tree& new_tree, const Tree* old_tree,
                  PackReport* report) {
  std::map<std::string, std::vector<std::string>> new_files;
  for (const TreeFile& file : new_tree.files)
    new_files[SameFileKey(file.path)].push_back(file.path);
  const std::set<std::string> new_folders = FolderKeys(Paths(new_tree));
  std::set<std::string> old_files, old_folders;
  if (old_tree != nullptr) {
    for (const TreeFile& file : old_tree->files) old_files.insert(SameFileKey(file.path));
    old_folders = FolderKeys(Paths(*old_tree));
    for (const std::string& folder : old_tree->folders) old_folders.insert(SameFileKey(folder));
  }
  for (const Candidate& candidate : listed) {
    const std::string& path = candidate.file.path;
    std::string key = SameFileKey(path);
    for (const std::string& other : new_files[key]) {
      if (other == path) continue;
      AddPackProblem(report, path, Severity::kError, "same-file",
                     "Windows takes this name and " + Quote(other) + " for the same file");
      break;
    }
    if (new_folders.count(key) != 0) {
      AddPackProblem(report, path, Severity::kError, "same-file",
                     "Windows takes this file and a folder of NEW_DIR for the same name");
    }
    if (old_folders.count(key) != 0) {
      AddPackProblem(report, path, Severity::kError, "file-folder-clash",
                     "the game folder holds a folder of this name, which the update cannot "
                     "replace with a file");
    }
    for (size_t slash = key.find('/'); slash != std::string::npos;
         slash = key.find('/', slash + 1)) {
      if (old_files.count(key.substr(0, slash)) == 0) continue;
      AddPackProblem(report, path, Severity::kError, "file-folder-clash",
                     "the game folder holds a file " + Quote(path.substr(0, slash)) +
                         " where this file needs a folder; the update cannot remove it");
      break;
    }
  }
}

}  // namespace

std::string SameFileKey(const std::string& utf8_path) {
  return WindowsCaseKey(utf8_path);
}

bool PlanFiles(const std::string& new_dir, const Tree& new_tree, const std::string& old_dir,
               const Tree* old_tree, PackReport* report, std::string* error) {
  std::map<std::string, std::string> old_files;  // key -> path below OLD_DIR
  if (old_tree != nullptr) {
    for (const TreeFile& file : old_tree->files)
      old_files.emplace(SameFileKey(file.path), file.path);
  }
  std::vector<Candidate> listed;
  std::set<std::string> new_keys;
  for (const TreeFile& file : new_tree.files) {
    std::string key = SameFileKey(file.path);
    new_keys.insert(key);
    auto old = old_files.find(key);
    FileStatus status = FileStatus::kNew;
    if (old != old_files.end()) {
      int same = SameContent(old_dir + "/" + old->second, new_dir + "/" + file.path);
      if (same < 0) {
        *error = "cannot read " + old_dir + "/" + old->second + " or " + new_dir + "/" + file.path;
        return false;
      }
      if (same == 1) {
        ++report->unchanged;
        continue;
      }
      status = FileStatus::kChanged;
    }
    listed.push_back(MakeCandidate(file, status));
  }
  std::sort(listed.begin(), listed.end(), ListsBefore);

  for (const Candidate& candidate : listed) {
    std::string message;
    const char* code = EntryProblem(candidate, &message);
    if (code != nullptr) {
      AddPackProblem(report, candidate.file.path, Severity::kError, code, message);
    }
  }
  CheckClashes(listed, new_tree, old_tree, report);
  if (listed.size() > static_cast<size_t>(kMaxFiles)) {
    AddPackProblem(report, listed[kMaxFiles].file.path, Severity::kError, "too-many-files",
                   std::to_string(listed.size()) + " files to copy; a file list holds " +
                       std::to_string(kMaxFiles) + ", so this one and " +
                       std::to_string(listed.size() - kMaxFiles - 1) +
                       " after it cannot be listed");
  }
  if (listed.empty()) {
    AddPackProblem(report, new_dir, Severity::kWarning, "nothing-to-copy",
                   "no file of NEW_DIR is new or changed: the update copies nothing");
  }
  for (const Candidate& candidate : listed) report->files.push_back(candidate.file);

  if (old_tree != nullptr) {
    for (const TreeFile& file : old_tree->files) {
      if (new_keys.count(SameFileKey(file.path)) != 0) continue;
      report->removed.push_back(file.path);
      AddPackProblem(report, file.path, Severity::kWarning, "removed-file",
                     "in OLD_DIR but not in NEW_DIR: the update cannot remove files, so it "
                     "stays in the game folder");
    }
  }
  // Folders come into the game folder only with the files in them.
  const std::set<std::string> filled = FolderKeys(Paths(new_tree));
  std::set<std::string> old_folders;
  if (old_tree != nullptr) {
    for (const std::string& folder : old_tree->folders) old_folders.insert(SameFileKey(folder));
  }
  for (const std::string& folder : new_tree.folders) {
    std::string key = SameFileKey(folder);
    if (filled.count(key) != 0 || old_folders.count(key) != 0) continue;
    AddPackProblem(report, folder, Severity::kWarning, "empty-folder",
                   "an empty folder: the update creates folders only for the files in them");
  }
  for (const std::string& other : new_tree.skipped) {
    AddPackProblem(report, other, Severity::kWarning, "not-a-file",
                   "neither a file nor a folder (a link?): left out");
  }
  return true;
}
