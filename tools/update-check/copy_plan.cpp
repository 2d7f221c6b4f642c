#include "copy_plan.h"

#include <string.h>

#include <map>
#include <vector>

#include "copy/copy_paths.h"
#include "copy/device_names.h"
#include "cp932_text.h"
#include "medium_files.h"
#include "problem_list.h"
#include "settings/settings.h"
#include "text/sjis.h"
#include "windows_names.h"

namespace {

const char kMediumStandIn[] = ".";

std::string TypeName(uint32_t flags) {
  int index = 0;
  while (index < 31 && (flags & (1u << index)) == 0) ++index;
  std::string name = index < settings.install_lst_count ? settings.install_lst[index] : "";
  return Quoted(name) + " (index " + std::to_string(index) + ")";
}

// Windows names the same file whatever the case of its letters (Ω and ω,
// Ａ and ａ too) and whichever separator is used. A byte that is no code
// page 932 character stays apart from every character.
std::string SameFileKey(const char* name) {
  std::string key;
  const std::string text = name;
  for (size_t pos = 0; pos < text.size();) {
    std::string utf8;
    size_t len = Cp932CharAt(text, pos, &utf8);
    if (len == 0) {
      key += "\xFF" + text.substr(pos, 1);
      ++pos;
      continue;
    }
    key += utf8 == "/" ? "\\" : WindowsCaseKey(utf8);
    pos += len;
  }
  return key;
}

// The first name of entry that opens a device, for the message.
std::string DeviceNameIn(const char* entry) {
  for (const std::string& name : SplitCp932Path(entry)) {
    if (IsDeviceName(name.data(), name.size())) return name;
  }
  return "";
}

}  // namespace

void PlanCopy(const std::string& dir, CheckReport* report) {
  const bool source_folder_missing =
      FindOnMedium(dir, settings.path, nullptr) != MediumEntry::kFolder;
  std::vector<bool> selected(static_cast<size_t>(settings.file_count), false);
  SelectFiles(kCopyMask);
  char name[sizeof settings.files[0].name];
  int next = 0;
  while (NextSelectedFile(name, sizeof name) == 0) {
    // The cursor gives names only; find the entry it gave, in list order.
    while (next < settings.file_count && (strcmp(settings.files[next].name, name) != 0 ||
                                          (settings.files[next].flags & kCopyMask) == 0)) {
      ++next;
    }
    if (next >= settings.file_count) break;
    selected[static_cast<size_t>(next)] = true;
    int line = report->entry_lines[static_cast<size_t>(next)];
    CopyItem item = {next, "", false, false};
    // The medium's folder and the game folder are stand-ins: what matters is
    // the part of the source below the medium, joined as the copy joins it.
    CopyPaths paths;
    CopyPathStatus status = BuildCopyPaths(kMediumStandIn, settings.path, "G:", name, &paths);
    if (status == kEntryOutsideGameFolder) {
      item.refused = true;
      AddProblem(
          report, line, Severity::kError, "escapes-game-folder",
          Quoted(name) + " is not a path inside the game folder: the updater refuses to copy it");
    } else if (status == kEntryNamesDevice) {
      item.refused = true;
      std::string device = DeviceNameIn(name);
      AddProblem(report, line, Severity::kError, "device-name",
                 Quoted(name) +
                     (device == name ? " is a name" : " holds the name " + Quoted(device)) +
                     " that Windows opens as a device, not as a file: the updater refuses to "
                     "copy it");
    } else if (status == kCopyPathsReady) {
      item.source = paths.source_path + strlen(kMediumStandIn) + 1;
      MediumEntry found = FindOnMedium(dir, item.source, nullptr);
      item.exists = found == MediumEntry::kFile;
      if (found == MediumEntry::kMissing) {
        AddProblem(report, line, Severity::kError, "missing-source",
                   Quoted(name) + " is to be copied from " + DecodeCp932(item.source) +
                       ", which is not on the medium" +
                       (source_folder_missing ? " (nor is the folder " + Quoted(settings.path) + ")"
                                              : ""));
      } else if (found == MediumEntry::kFolder) {
        AddProblem(report, line, Severity::kError, "source-is-folder",
                   Quoted(name) + " is to be copied from " + DecodeCp932(item.source) +
                       ", which is a folder, not a file");
      }
    }
    report->copy.push_back(item);
    ++next;
  }

  std::map<std::string, int> entry_lines;
  for (int i = 0; i < settings.file_count; ++i) {
    const FileEntry& entry = settings.files[i];
    int line = report->entry_lines[static_cast<size_t>(i)];
    if (!selected[static_cast<size_t>(i)]) {
      AddProblem(report, line, Severity::kWarning, "never-copied",
                 entry.flags == kNoTypeFlag
                     ? Quoted(entry.name) + " is listed under no file type, so it is never copied"
                     : Quoted(entry.name) + " is listed under the file type " +
                           TypeName(entry.flags) +
                           "; only types 0 to 7 are copied, so it never is");
    }
    auto seen = entry_lines.emplace(SameFileKey(entry.name), line);
    if (!seen.second) {
      AddProblem(report, line, Severity::kWarning, "duplicate-entry",
                 Quoted(entry.name) + " names the same file as the entry on line " +
                     std::to_string(seen.first->second));
    }
  }
}
