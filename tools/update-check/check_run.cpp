#include "check_run.h"

#include "checker.h"
#include "medium_files.h"
#include "report_output.h"

static const char kUsage[] =
    "usage: update-check [--json] [MEDIUM_DIR]\n"
    "Reads MEDIUM_DIR/update.ini (default: the current folder) as the updater reads it,\n"
    "looks at the files it lists and reports what would go wrong.\n"
    "Exit code: 0 no error, 1 at least one error, 2 could not run.\n";

int RunUpdateCheck(const std::vector<std::string>& args, std::string* out, std::string* err) {
  bool json = false;
  bool options_end = false;
  std::string dir;
  bool have_dir = false;
  for (const std::string& arg : args) {
    if (!options_end && arg == "--json") {
      json = true;
    } else if (!options_end && (arg == "--help" || arg == "-h")) {
      *out += kUsage;
      return kExitClean;
    } else if (!options_end && arg == "--") {
      options_end = true;
    } else if (!options_end && arg.size() > 1 && arg[0] == '-') {
      *err += "update-check: unknown option " + arg + "\n" + kUsage;
      return kExitCannotRun;
    } else if (have_dir) {
      *err += "update-check: more than one medium folder given\n" + std::string(kUsage);
      return kExitCannotRun;
    } else {
      dir = arg;
      have_dir = true;
    }
  }
  if (!have_dir) dir = ".";
  if (dir.empty() || !IsReadableFolder(dir)) {
    *err += "update-check: " + dir + " is not a folder that can be read\n";
    return kExitCannotRun;
  }
  CheckReport report;
  if (!CheckMedium(dir, &report)) {
    *err += "update-check: cannot read the medium in " + dir + "\n";
    return kExitCannotRun;
  }
  *out += json ? FormatJson(report) : FormatHuman(dir, report);
  return CountProblems(report, Severity::kError) > 0 ? kExitProblems : kExitClean;
}
