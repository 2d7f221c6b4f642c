#include "medium_build.h"

#include <string.h>

#include "checker.h"
#include "medium_files.h"
#include "medium_proof_writer.h"
#include "setting_fields.h"
#include "settings/settings.h"
#include "tree_files.h"
#include "versions/version_record.h"

namespace {

std::string FolderOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool WriteFiles(const MediumSource& source, const PackReport& report, const std::string& dir,
                std::string* err) {
  if (!WriteWholeFile(dir + "/update.ini", report.settings_text)) {
    *err = "cannot write " + dir + "/update.ini";
    return false;
  }
  std::vector<std::string> listed = {"update.ini"};
  if (!report.record.empty()) {
    if (!WriteWholeFile(dir + "/update.versions", report.record)) {
      *err = "cannot write " + dir + "/update.versions";
      return false;
    }
    listed.push_back("update.versions");
  }
  std::string base = source.path_folder.empty() ? dir : dir + "/" + source.path_folder;
  for (const PackedFile& file : report.files) {
    listed.push_back(source.path_folder.empty() ? file.path : source.path_folder + "/" + file.path);
    std::string to = base + "/" + file.path;
    std::string folder = FolderOf(to);
    if (!MakeFolders(folder) || !CopyOneFile(source.new_dir + "/" + file.path, to)) {
      *err = "cannot copy " + source.new_dir + "/" + file.path + " to " + to;
      return false;
    }
  }
  // Hashed from the medium as written, so that the list vouches for what
  // is there rather than for what was meant to be.
  return WriteMediumProof(dir, listed, source.exe, err);
}

std::string ParentOf(const std::string& path) {
  std::string trimmed = path;
  while (trimmed.size() > 1 && (trimmed.back() == '/' || trimmed.back() == '\\')) {
    trimmed.pop_back();
  }
  size_t slash = trimmed.find_last_of("/\\");
  if (slash == std::string::npos) return ".";
  return slash == 0 ? trimmed.substr(0, 1) : trimmed.substr(0, slash);
}

// The files were flushed as they were written; their folders' names go
// out before the medium is renamed into place.
bool SyncWrittenFolders(const std::string& dir) {
  Tree tree;
  std::string error;
  if (!ListTree(dir, &tree, &error)) return false;
  for (auto it = tree.folders.rbegin(); it != tree.folders.rend(); ++it) {
    if (!SyncFolder(dir + "/" + *it)) return false;
  }
  return SyncFolder(dir);
}

// What the updater's reader makes of the version record written in dir:
// every --old folder, as a version of its own.
bool RecordReadsBack(const std::string& dir, const PackReport& report) {
  std::string record;
  if (report.record.empty()) return !ReadMediumFile(dir + "/update.versions", &record);
  if (!ReadMediumFile(dir + "/update.versions", &record) || record != report.record ||
      FirstMalformedVersionLine(record.data(), record.size()) != 0) {
    return false;
  }
  static VersionHeading versions[kMaxVersions];
  return ListVersions(record.data(), record.size(), versions, kMaxVersions) ==
         report.versions.size();
}

// What the updater's parser and update-check's copy plan make of the
// medium, against what was meant: null when they agree.
const char* CheckDisagrees(const MediumSource& source, const PackReport& report,
                           const std::string& dir) {
  if (CountProblems(report.check, Severity::kError) > 0) return "update-check finds errors on it";
  if (!RecordReadsBack(dir, report)) return "the version record reads back otherwise";
  for (const KeyValue& key : source.keys) {
    const TextField* field = FindTextField(key.key);
    if (field == nullptr || key.value != field->value) return "a text key reads back otherwise";
  }
  if (settings.install_lst_count != 1 || source.type != settings.install_lst[0]) {
    return "the file type reads back otherwise";
  }
  if (report.check.copy.size() != report.files.size() ||
      settings.file_count != static_cast<int>(report.files.size())) {
    return "the copy would take another number of files";
  }
  for (size_t i = 0; i < report.files.size(); ++i) {
    const CopyItem& item = report.check.copy[i];
    if (item.refused || !item.exists || report.files[i].entry != settings.files[item.entry].name) {
      return "the copy would take other files";
    }
  }
  return nullptr;
}

}  // namespace

int BuildMedium(const MediumSource& source, PackReport* report, std::string* err) {
  const std::string& medium = report->medium_dir;
  FolderState state = GetFolderState(medium);
  // The folder beside it needs the parent.
  if (state == FolderState::kMissing && (!MakeFolders(medium) || !RemoveEmptyFolder(medium))) {
    *err = "cannot make the folder " + medium;
    return 2;
  }
  std::string work;
  if (!MakeFolderBeside(medium, "pack", &work)) {
    *err = "cannot make a work folder beside " + medium;
    return 2;
  }
  if (!WriteFiles(source, *report, work, err)) {
    RemoveTree(work);
    return 2;
  }
  if (!CheckMedium(work, &report->check)) {
    RemoveTree(work);
    *err = "update-check cannot read the medium written in " + work;
    return 2;
  }
  if (!SyncWrittenFolders(work)) {
    RemoveTree(work);
    *err = "cannot write the medium in " + work + " out to the disk";
    return 2;
  }
  report->checked = true;
  const char* disagreement = CheckDisagrees(source, *report, work);
  if (disagreement != nullptr) {
    RemoveTree(work);
    AddPackProblem(report, "update.ini", Severity::kError, "check-failed",
                   std::string("the medium is not what was meant: ") + disagreement);
    return 1;
  }

  std::string previous;
  if (state == FolderState::kEmpty && !RemoveEmptyFolder(medium)) {
    RemoveTree(work);
    *err = "cannot replace the empty folder " + medium;
    return 2;
  }
  if (state == FolderState::kNotEmpty) {
    // Kept aside until the new medium stands in its place.
    if (!MakeFolderBeside(medium, "old", &previous) || !RemoveEmptyFolder(previous) ||
        !RenameFolder(medium, previous)) {
      RemoveTree(work);
      *err = "cannot move the old contents of " + medium + " aside";
      return 2;
    }
  }
  if (!RenameFolder(work, medium)) {
    if (!previous.empty()) RenameFolder(previous, medium);
    RemoveTree(work);
    *err = "cannot rename " + work + " to " + medium;
    return 2;
  }
  // The rename itself lives in the parent folder.
  SyncFolder(ParentOf(medium));
  if (!previous.empty()) RemoveTree(previous);
  report->written = true;
  return 0;
}
