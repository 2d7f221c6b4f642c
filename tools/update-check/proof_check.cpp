#include "proof_check.h"

#include <algorithm>
#include <map>

#include "cp932_text.h"
#include "medium_files.h"
#include "problem_list.h"
#include "settings/settings.h"
#include "sha256_bytes.h"
#include "text/sjis.h"
#include "verify/fingerprint_slot.h"
#include "verify/hash_list.h"
#include "versions/version_record.h"

namespace {

constexpr char kListName[] = "update.sha256";
constexpr char kVersionsName[] = "update.versions";

void AddListProblem(CheckReport* report, int line, Severity severity, const char* code,
                    const std::string& message) {
  report->problems.push_back({line, severity, code, message, kListName});
}

}  // namespace

// A code page 932 path in UTF-8 with '/' between names.
static std::string SlashSpelling(const std::string& path) {
  std::string utf8 = DecodeCp932(path);
  // In UTF-8 the byte 0x5C is a backslash and nothing else.
  for (char& c : utf8) {
    if (c == '\\') c = '/';
  }
  return utf8;
}

// How the updater spells an entry's file in the list: the PATH folder
// without its last one-byte backslash, '\', the entry; in UTF-8 with '/'.
std::string ListSpelling(const char* entry) {
  char folder[sizeof settings.path];
  CopyText(folder, sizeof folder, settings.path);
  RemoveTrailingBackslash(folder);
  std::string path = folder;
  if (!path.empty()) path += "\\";
  return SlashSpelling(path + entry);
}

std::string GameSpelling(const char* entry) {
  return SlashSpelling(entry);
}

namespace {

struct Listed {
  std::string digest;  // 32 bytes
  int line;
};

// Reads the list's lines, reporting the malformed ones and the files whose
// bytes differ; fills listed with the well-formed lines.
void CheckListedFiles(const std::string& dir, const std::string& list,
                      std::map<std::string, Listed>* listed, CheckReport* report) {
  size_t offset = 0;
  int number = 0;
  while (offset < list.size()) {
    ++number;
    HashLine line;
    size_t start = offset;
    if (ReadHashLine(list.data(), list.size(), &offset, &line) != kHashLineRead) {
      AddListProblem(report, number, Severity::kError, "list-malformed",
                     "not a line '<64 lowercase hex digits>  <path below the medium>' ending in a "
                     "line feed; the updater refuses the medium");
      size_t end = list.find('\n', start);
      offset = end == std::string::npos ? list.size() : end + 1;
      continue;
    }
    std::string path = list.substr(line.path_offset, line.path_length);
    std::string digest(reinterpret_cast<const char*>(line.digest), kSha256Size);
    if (!listed->emplace(path, Listed{digest, number}).second) {
      AddListProblem(report, number, Severity::kError, "list-duplicate",
                     "'" + path + "' is listed again (first on line " +
                         std::to_string((*listed)[path].line) +
                         "); the updater refuses the medium");
      continue;
    }
    std::string cp932, found, bytes;
    unsigned char actual[kSha256Size];
    if (!EncodeCp932(path, &cp932) || FindOnMedium(dir, cp932, &found) != MediumEntry::kFile ||
        !ReadMediumFile(found, &bytes)) {
      AddListProblem(report, number, Severity::kError, "listed-file-missing",
                     "'" + path + "' is listed but is not a file on the medium");
    } else if (!Sha256Of(bytes, actual) ||
               std::string(reinterpret_cast<const char*>(actual), kSha256Size) != digest) {
      AddListProblem(
          report, number, Severity::kError, "file-differs",
          "the bytes of '" + path + "' are not the ones listed: damaged or changed after packing");
    }
  }
}

// update.versions is believed only when the list vouches for it; a listed
// one that is missing or changed is reported with the other listed files.
void CheckVersionRecord(const std::string& dir, const std::map<std::string, Listed>& listed,
                        CheckReport* report) {
  std::string found, record;
  MediumEntry entry = FindOnMedium(dir, kVersionsName, &found);
  if (listed.count(kVersionsName) == 0) {
    report->versions = entry == MediumEntry::kMissing ? "absent" : "unlisted";
    if (entry != MediumEntry::kMissing) {
      report->problems.push_back(
          {0, Severity::kWarning, "versions-unlisted",
           std::string("update.versions is not listed in ") + kListName +
               ": the updater does not believe it, identifies no version and refuses no game",
           kVersionsName});
    }
    return;
  }
  if (entry != MediumEntry::kFile || !ReadMediumFile(found, &record)) {
    report->versions = "unreadable";
    return;
  }
  if (record.size() > kMaxVersionRecordSize) {
    report->versions = "malformed";
    report->problems.push_back({0, Severity::kError, "versions-malformed",
                                "update.versions is over " + std::to_string(kMaxVersionRecordSize) +
                                    " bytes; the updater refuses the medium",
                                kVersionsName});
    return;
  }
  size_t line = FirstMalformedVersionLine(record.data(), record.size());
  if (line != 0) {
    report->versions = "malformed";
    report->problems.push_back(
        {static_cast<int>(line), Severity::kError, "versions-malformed",
         "not a line 'version <label>' (a new label of 1 to 255 bytes, at most 256 versions) or "
         "'<64 lowercase hex digits> <size> <path in the game folder>' in path order below its "
         "version, ending in a line feed; the updater refuses the medium",
         kVersionsName});
    return;
  }
  report->versions = "present";
  std::vector<VersionHeading> versions(kMaxVersions);
  versions.resize(ListVersions(record.data(), record.size(), versions.data(), versions.size()));
  for (const VersionHeading& version : versions) {
    report->version_labels.push_back(record.substr(version.label_offset, version.label_length));
  }
}

void CheckCoverage(const std::map<std::string, Listed>& listed, CheckReport* report) {
  if (listed.count("update.ini") == 0) {
    AddListProblem(report, 0, Severity::kError, "not-listed",
                   "update.ini is not listed; the updater refuses the medium");
  }
  for (const CopyItem& item : report->copy) {
    std::string path = ListSpelling(settings.files[item.entry].name);
    if (listed.count(path) != 0) continue;
    int line = report->entry_lines[static_cast<size_t>(item.entry)];
    report->problems.push_back({line, Severity::kError, "not-listed",
                                Quoted(settings.files[item.entry].name) + " is to be copied but '" +
                                    path + "' is not in " + kListName +
                                    "; the updater refuses the medium",
                                "update.ini"});
  }
}

// What update.exe beside update.ini carries; list_digest is empty without a
// list.
void CheckFingerprint(const std::string& dir, const std::string& list_digest, CheckReport* report) {
  std::string found, program;
  if (FindOnMedium(dir, "update.exe", &found) != MediumEntry::kFile ||
      !ReadMediumFile(found, &program)) {
    report->fingerprint = "no update.exe";
    return;
  }
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(program.data());
  size_t offset = 0;
  if (FindFingerprintSlots(bytes, program.size(), &offset) != 1) {
    report->fingerprint = "no slot";
    AddListProblem(report, 0, Severity::kWarning, "exe-without-slot",
                   "update.exe has no fingerprint slot: an older or another program, which checks "
                   "nothing on the medium");
    return;
  }
  std::string digest = program.substr(offset, kFingerprintSize);
  if (digest == std::string(kFingerprintSize, '\0')) {
    report->fingerprint = "none";
    if (HasAuthenticodeSignature(bytes, program.size())) {
      AddListProblem(report, 0, Severity::kError, "exe-signed-unbound",
                     "update.exe is signed but carries no fingerprint: the updater refuses every "
                     "medium; bind the unsigned build to this medium (update-pack --bind), then "
                     "sign the medium's copy");
    } else if (!list_digest.empty()) {
      AddListProblem(report, 0, Severity::kWarning, "exe-unbound",
                     "update.exe carries no fingerprint: the updater catches damaged files but "
                     "not a medium rewritten as a whole (pack with --exe)");
    }
    return;
  }
  if (list_digest.empty()) {
    report->fingerprint = "differs";
    AddListProblem(report, 0, Severity::kError, "fingerprint-without-list",
                   "update.exe is bound to a medium but there is no update.sha256; the updater "
                   "refuses the medium");
  } else if (digest != list_digest) {
    report->fingerprint = "differs";
    AddListProblem(report, 0, Severity::kError, "fingerprint-differs",
                   "update.exe is bound to another update.sha256 than this one; the updater "
                   "refuses the medium");
  } else {
    report->fingerprint = "matches";
  }
}

}  // namespace

void CheckProof(const std::string& dir, CheckReport* report) {
  std::string found, list;
  MediumEntry entry = FindOnMedium(dir, kListName, &found);
  std::string list_digest;
  if (entry == MediumEntry::kMissing) {
    report->hash_list = "absent";
  } else if (entry == MediumEntry::kFolder || !ReadMediumFile(found, &list) ||
             list.size() > kMaxHashListSize) {
    report->hash_list = "unreadable";
    AddListProblem(report, 0, Severity::kError, "list-unreadable",
                   "update.sha256 is a folder, cannot be read or is over " +
                       std::to_string(kMaxHashListSize) + " bytes; the updater refuses the medium");
    list_digest = std::string(kSha256Size, '\1');
  } else {
    report->hash_list = "present";
    unsigned char digest[kSha256Size];
    if (Sha256Of(list, digest)) list_digest.assign(reinterpret_cast<char*>(digest), kSha256Size);
    std::map<std::string, Listed> listed;
    // The updater indexes a line for each entry and one for update.ini, no
    // more: a longer list, however small, is refused.
    size_t lines = static_cast<size_t>(std::count(list.begin(), list.end(), '\n'));
    if (lines > kMaxHashLines) {
      AddListProblem(report, 0, Severity::kError, "list-unreadable",
                     "update.sha256 has " + std::to_string(lines) + " lines, more than the " +
                         std::to_string(kMaxHashLines) +
                         " of a full file list and update.ini; the updater refuses the medium");
    }
    CheckListedFiles(dir, list, &listed, report);
    CheckCoverage(listed, report);
    CheckVersionRecord(dir, listed, report);
  }
  if (entry == MediumEntry::kMissing) CheckVersionRecord(dir, {}, report);
  CheckFingerprint(dir, list_digest, report);
}
