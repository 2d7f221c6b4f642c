#include "version_record_writer.h"

#include "verify/hash_list.h"
#include "versions/version_record.h"

namespace {

// What the updater's reader makes of text: labels and paths are held to
// its rules, not to a copy of them.
bool ReadsBack(const std::string& text) {
  return FirstMalformedVersionLine(text.data(), text.size()) == 0;
}

}  // namespace

std::string LabelOfFolder(const std::string& dir) {
  size_t end = dir.find_last_not_of("/\\");
  if (end == std::string::npos) return "";
  size_t start = dir.find_last_of("/\\", end);
  start = start == std::string::npos ? 0 : start + 1;
  return dir.substr(start, end + 1 - start);
}

const char* UnusableLabelReason(const std::string& label) {
  if (label.empty() || label == "." || label == "..") {
    return "names no folder of its own; give the folder by its name, which labels the version";
  }
  if (label.size() > kMaxVersionLabel) return "is longer than the 255 bytes a label holds";
  if (!ReadsBack("version " + label + "\n")) {
    return "is not UTF-8 text without control characters, which a label must be";
  }
  return nullptr;
}

bool IsRecordPath(const std::string& path) {
  return ReadsBack("version v\n" + std::string(64, '0') + " 0 " + path + "\n");
}

std::string ComposeVersionRecord(const std::vector<PackedVersion>& versions) {
  std::string record;
  for (const PackedVersion& version : versions) {
    record += "version " + version.label + "\n";
    for (const RecordedFile& file : version.files) {
      record += file.digest + " " + std::to_string(file.size) + " " + file.path + "\n";
    }
  }
  return record;
}

// The updater holds the record whole in memory, under the list's cap, and
// indexes no more lines of update.sha256 than it has room for: the
// record's line comes on top of update.ini's and one a file.
void CheckRecordFits(PackReport* report) {
  if (report->record.size() > kMaxVersionRecordSize) {
    AddPackProblem(
        report, "update.versions", Severity::kError, "record-too-large",
        "the version record of these --old folders is " + std::to_string(report->record.size()) +
            " bytes; the updater reads at most " + std::to_string(kMaxVersionRecordSize));
  }
  size_t lines = report->files.size() + 2;
  if (lines > kMaxHashLines) {
    AddPackProblem(report, "update.versions", Severity::kError, "too-many-files",
                   std::to_string(report->files.size()) +
                       " files to copy, update.ini and update.versions make " +
                       std::to_string(lines) + " lines of update.sha256; the updater reads " +
                       std::to_string(kMaxHashLines));
  }
}
