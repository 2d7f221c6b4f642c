#include "pack_plan.h"

#include <algorithm>
#include <map>
#include <set>

#include "copy/copy_paths.h"
#include "copy/device_names.h"
#include "copy/temp_name.h"
#include "cp932_text.h"
#include "game_files.h"
#include "settings/settings.h"
#include "verify/hash_list.h"
#include "version_record_writer.h"
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
  Candidate candidate = {{file.path, "", status, file.size, {}, {}}, SplitNames(file.path), true};
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
// and against what any old version leaves in the game folder.
void CheckClashes(const std::vector<Candidate>& listed, const Tree& new_tree,
                  const std::vector<Tree>& old_trees, PackReport* report) {
  std::map<std::string, std::vector<std::string>> new_files;
  for (const TreeFile& file : new_tree.files)
    new_files[SameFileKey(file.path)].push_back(file.path);
  const std::set<std::string> new_folders = FolderKeys(Paths(new_tree));
  std::set<std::string> old_files, old_folders;
  for (const Tree& old_tree : old_trees) {
    for (const TreeFile& file : old_tree.files) old_files.insert(SameFileKey(file.path));
    const std::set<std::string> above = FolderKeys(Paths(old_tree));
    old_folders.insert(above.begin(), above.end());
    for (const std::string& folder : old_tree.folders) old_folders.insert(SameFileKey(folder));
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

// One file of an old version: its spelling there and what it holds.
struct OldFile {
  std::string path;
  uint64_t size;
  std::string digest;  // hex
};
using OldFiles = std::map<std::string, OldFile>;  // by SameFileKey

// Hashed as it streams: a game's files may be larger than the address
// space of the x86 build.
bool Digest(const std::string& path, uint64_t* size, std::string* hex, std::string* error) {
  unsigned char digest[kSha256Size];
  if (!HashGameFile(path, digest) || !GameFileSize(path, size)) {
    *error = "cannot read " + path;
    return false;
  }
  char text[2 * kSha256Size + 1];
  FormatDigest(digest, text);
  *hex = text;
  return true;
}

// Every file of one old version, hashed once: the record lists each, and
// each file of NEW_DIR is held against it.
bool HashOldVersion(const PackedVersion& version, const Tree& tree, OldFiles* files,
                    PackReport* report, std::string* error) {
  for (const TreeFile& file : tree.files) {
    std::string key = SameFileKey(file.path);
    auto first = files->find(key);
    if (first != files->end()) {
      // No Windows game folder holds both; the names sort alike on every
      // platform, so the same one is kept.
      AddPackProblem(report, file.path, Severity::kWarning, "same-file-in-old",
                     "Windows takes this name and " + Quote(first->second.path) + " of " +
                         Quote(version.label) + " for one file; the version record lists only " +
                         Quote(first->second.path));
      continue;
    }
    OldFile old = {file.path, 0, ""};
    if (!Digest(version.dir + "/" + file.path, &old.size, &old.digest, error)) return false;
    files->emplace(key, old);
  }
  return true;
}

std::string Labels(const std::vector<std::string>& labels) {
  std::string text;
  for (const std::string& label : labels) text += (text.empty() ? "" : ", ") + Quote(label);
  return text;
}

// The files of each old version for update.versions. The updater looks a
// file up by one spelling, the one the file list gives it; each version
// lists it so, whatever case that version wrote it in, and a file that
// NEW_DIR lacks is spelled as the first version that holds it spells it.
void FillVersions(const std::vector<OldFiles>& olds, const Tree& new_tree, PackReport* report) {
  std::map<std::string, std::string> spelling;  // key -> path
  for (const TreeFile& file : new_tree.files) spelling.emplace(SameFileKey(file.path), file.path);
  for (const OldFiles& old : olds) {
    for (const auto& [key, file] : old) spelling.emplace(key, file.path);
  }
  std::set<std::string> left_out;
  for (size_t v = 0; v < olds.size(); ++v) {
    std::vector<RecordedFile>& files = report->versions[v].files;
    for (const auto& [key, file] : olds[v]) {
      const std::string& path = spelling[key];
      if (!IsRecordPath(path)) {
        if (left_out.insert(path).second) {
          AddPackProblem(report, path, Severity::kWarning, "not-in-record",
                         "not UTF-8 text, or holds a control character, a backslash or a "
                         "colon, or is too long: no game folder on Windows holds it, and the "
                         "version record leaves it out");
        }
        continue;
      }
      files.push_back({path, file.size, file.digest});
    }
    std::sort(files.begin(), files.end(),
              [](const RecordedFile& a, const RecordedFile& b) { return a.path < b.path; });
  }
}

}  // namespace

std::string SameFileKey(const std::string& utf8_path) {
  return WindowsCaseKey(utf8_path);
}

bool PlanFiles(const std::string& new_dir, const Tree& new_tree, const std::vector<Tree>& old_trees,
               PackReport* report, std::string* error) {
  std::vector<OldFiles> olds(old_trees.size());
  for (size_t v = 0; v < old_trees.size(); ++v) {
    if (!HashOldVersion(report->versions[v], old_trees[v], &olds[v], report, error)) return false;
  }
  std::vector<Candidate> listed;
  std::set<std::string> new_keys;
  for (const TreeFile& file : new_tree.files) {
    std::string key = SameFileKey(file.path);
    new_keys.insert(key);
    std::vector<std::string> new_against, changed_against;
    uint64_t size = 0;
    std::string digest;
    for (size_t v = 0; v < olds.size(); ++v) {
      const std::string& label = report->versions[v].label;
      auto old = olds[v].find(key);
      if (old == olds[v].end()) {
        new_against.push_back(label);
        continue;
      }
      if (digest.empty() && !Digest(new_dir + "/" + file.path, &size, &digest, error)) {
        return false;
      }
      if (old->second.digest != digest || old->second.size != size) {
        changed_against.push_back(label);
      }
    }
    if (!olds.empty() && new_against.empty() && changed_against.empty()) {
      ++report->unchanged;
      continue;
    }
    listed.push_back(
        MakeCandidate(file, changed_against.empty() ? FileStatus::kNew : FileStatus::kChanged));
    listed.back().file.new_against = new_against;
    listed.back().file.changed_against = changed_against;
  }
  std::sort(listed.begin(), listed.end(), ListsBefore);

  for (const Candidate& candidate : listed) {
    std::string message;
    const char* code = EntryProblem(candidate, &message);
    if (code != nullptr) {
      AddPackProblem(report, candidate.file.path, Severity::kError, code, message);
    }
  }
  CheckClashes(listed, new_tree, old_trees, report);
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

  // Removed files, once each, in the order the versions hold them.
  std::vector<std::string> removed_keys;
  std::map<std::string, std::vector<std::string>> removed_from;  // key -> labels
  for (size_t v = 0; v < olds.size(); ++v) {
    for (const TreeFile& file : old_trees[v].files) {
      std::string key = SameFileKey(file.path);
      if (new_keys.count(key) != 0) continue;
      std::vector<std::string>& labels = removed_from[key];
      if (!labels.empty() && labels.back() == report->versions[v].label) continue;
      if (labels.empty()) {
        removed_keys.push_back(key);
        report->removed.push_back(file.path);
      }
      labels.push_back(report->versions[v].label);
    }
  }
  for (size_t n = 0; n < removed_keys.size(); ++n) {
    AddPackProblem(report, report->removed[n], Severity::kWarning, "removed-file",
                   "in " + Labels(removed_from[removed_keys[n]]) +
                       " but not in NEW_DIR: the update cannot remove files, so it stays in the "
                       "game folder");
  }
  // Folders come into the game folder only with the files in them.
  const std::set<std::string> filled = FolderKeys(Paths(new_tree));
  std::map<std::string, size_t> old_folders;  // key -> how many old versions hold it
  for (const Tree& old_tree : old_trees) {
    std::set<std::string> keys;
    for (const std::string& folder : old_tree.folders) keys.insert(SameFileKey(folder));
    for (const std::string& key : keys) ++old_folders[key];
  }
  for (const std::string& folder : new_tree.folders) {
    std::string key = SameFileKey(folder);
    if (filled.count(key) != 0) continue;
    if (!old_trees.empty() && old_folders[key] == old_trees.size()) continue;
    AddPackProblem(report, folder, Severity::kWarning, "empty-folder",
                   "an empty folder: the update creates folders only for the files in them");
  }
  for (const std::string& other : new_tree.skipped) {
    AddPackProblem(report, other, Severity::kWarning, "not-a-file",
                   "neither a file nor a folder (a link?): left out");
  }
  FillVersions(olds, new_tree, report);
  return true;
}
