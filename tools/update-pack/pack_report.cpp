#include "pack_report.h"

#include <algorithm>

#include <nlohmann/json.hpp>

#include "cp932_text.h"
#include "report_output.h"

using Json = nlohmann::ordered_json;

void AddPackProblem(PackReport* report, const std::string& where, Severity severity,
                    const char* code, const std::string& message) {
  report->problems.push_back({where, severity, code, message});
}

int CountPackProblems(const PackReport& report, Severity severity) {
  return static_cast<int>(
      std::count_if(report.problems.begin(), report.problems.end(),
                    [&](const PackProblem& p) { return p.severity == severity; }));
}

static const char* StatusName(FileStatus status) {
  return status == FileStatus::kNew ? "new" : "changed";
}

static int CountStatus(const PackReport& report, FileStatus status) {
  return static_cast<int>(std::count_if(report.files.begin(), report.files.end(),
                                        [&](const PackedFile& f) { return f.status == status; }));
}

// A file's name as the list holds it; its path below NEW_DIR when it has
// no code page 932 form.
static std::string ListName(const PackedFile& file) {
  return file.entry.empty() ? file.path : DecodeCp932(file.entry);
}

std::string FormatPackJson(const PackReport& report) {
  Json files = Json::array();
  for (const PackedFile& file : report.files) {
    files.push_back({{"name", ListName(file)},
                     {"path", file.path},
                     {"status", StatusName(file.status)},
                     {"bytes", file.size},
                     {"new_against", file.new_against},
                     {"changed_against", file.changed_against}});
  }
  Json versions = Json::array();
  Json old_dirs = Json::array();
  for (const PackedVersion& version : report.versions) {
    versions.push_back(
        {{"label", version.label}, {"dir", version.dir}, {"files", version.files.size()}});
    old_dirs.push_back(version.dir);
  }
  // One --old folder is named as it always was; several as a list.
  Json old = nullptr;
  if (report.versions.size() == 1) old = report.versions[0].dir;
  if (report.versions.size() > 1) old = old_dirs;
  Json problems = Json::array();
  for (const PackProblem& problem : report.problems) {
    problems.push_back({{"where", problem.where},
                        {"severity", SeverityName(problem.severity)},
                        {"code", problem.code},
                        {"message", problem.message}});
  }
  Json check = nullptr;
  if (report.checked) {
    check = {{"errors", CountProblems(report.check, Severity::kError)},
             {"warnings", CountProblems(report.check, Severity::kWarning)},
             {"problems", ProblemsJson(report.check.problems)}};
  }
  Json document = {{"old", old},
                   {"versions", versions},
                   {"new", report.new_dir},
                   {"medium", report.medium_dir},
                   {"summary",
                    {{"new", CountStatus(report, FileStatus::kNew)},
                     {"changed", CountStatus(report, FileStatus::kChanged)},
                     {"unchanged", report.unchanged},
                     {"removed", report.removed.size()},
                     {"files", report.files.size()},
                     {"versions", report.versions.size()},
                     {"medium_bytes", report.medium_bytes}}},
                   {"files", files},
                   {"removed", report.removed},
                   {"update_ini", DecodeCp932(report.settings_text)},
                   {"problems", problems},
                   {"check", check},
                   {"written", report.written}};
  return document.dump(2) + "\n";
}

// 64 bits: a medium holds more than the 4 GB that size_t counts on x86.
static std::string Plural(uint64_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

// With several old versions, which of them a file is new or changed
// against; with one the status says it all.
static std::string Against(const PackReport& report, const PackedFile& file) {
  if (report.versions.size() < 2) return "";
  std::string text;
  for (const auto& [what, labels] : {std::make_pair("new against ", &file.new_against),
                                     std::make_pair("changed against ", &file.changed_against)}) {
    if (labels->empty()) continue;
    text += text.empty() ? " (" : "; ";
    text += what;
    for (size_t n = 0; n < labels->size(); ++n) text += (n > 0 ? ", " : "") + (*labels)[n];
  }
  return text + ")";
}

std::string FormatPackHuman(const PackReport& report) {
  std::string out;
  if (report.versions.empty()) out = "Old:      (none: every file is new)\n";
  for (size_t v = 0; v < report.versions.size(); ++v) {
    out += std::string(v == 0 ? "Old:      " : "          ") + report.versions[v].dir + "\n";
  }
  out += "New:      " + report.new_dir + "\n";
  out += "Medium:   " + report.medium_dir + "\n";
  out += std::to_string(CountStatus(report, FileStatus::kNew)) + " new, " +
         std::to_string(CountStatus(report, FileStatus::kChanged)) + " changed, " +
         std::to_string(report.unchanged) + " unchanged, " + std::to_string(report.removed.size()) +
         " removed; " + Plural(report.files.size(), "file", "files") + " to copy, " +
         Plural(report.medium_bytes, "byte", "bytes") + " on the medium\n";

  out += "\nFiles to copy (in the game folder):\n";
  if (report.files.empty()) out += "  (none)\n";
  for (const PackedFile& file : report.files) {
    out += std::string("  ") + (file.status == FileStatus::kNew ? "new      " : "changed  ") +
           ListName(file) + Against(report, file) + "\n";
  }
  if (!report.versions.empty()) {
    out += "\nVersions in update.versions, each known by its files:\n";
    for (const PackedVersion& version : report.versions) {
      out += "  " + version.label + ": " + Plural(version.files.size(), "file", "files") + "\n";
    }
  }

  if (!report.problems.empty()) out += "\n";
  for (const PackProblem& problem : report.problems) {
    out += problem.where + ": " + SeverityName(problem.severity) + ": " + problem.message + " [" +
           problem.code + "]\n";
  }
  if (report.checked) {
    out += "\nupdate-check on the medium: ";
    out += Plural(CountProblems(report.check, Severity::kError), "error", "errors") + ", " +
           Plural(CountProblems(report.check, Severity::kWarning), "warning", "warnings") + "\n";
    for (const Problem& problem : report.check.problems) {
      out += "update.ini:" + std::to_string(problem.line) + ": " + SeverityName(problem.severity) +
             ": " + problem.message + " [" + problem.code + "]\n";
    }
  }
  int errors = CountPackProblems(report, Severity::kError);
  out += "\n" + Plural(static_cast<size_t>(errors), "error", "errors") + ", " +
         Plural(static_cast<size_t>(CountPackProblems(report, Severity::kWarning)), "warning",
                "warnings") +
         ": " + (report.written ? "the medium is in " + report.medium_dir : "nothing written") +
         "\n";
  return out;
}
