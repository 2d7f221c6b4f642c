#include "check_run.h"

#include "checker.h"
#include "game_check.h"
#include "medium_files.h"
#include "report_output.h"

static const char kUsage[] =
    "usage: update-check [--json] [MEDIUM_DIR]\n"
    "       update-check [--json] --game GAME_DIR [MEDIUM_DIR]\n"
    "Reads MEDIUM_DIR/update.ini (default: the current folder) as the updater reads it,\n"
    "looks at the files it lists and reports what would go wrong.\n"
    "With --game, also judges the game folder GAME_DIR as the updater would: the known\n"
    "versions it matches, whether the update is already applied, the files it would copy.\n"
    "Exit code: 0 no error (with --game: the updater would update the game or call it\n"
    "applied), 1 at least one error (with --game: or the updater would refuse the game),\n"
    "2 could not run.\n";

static bool ReadableFolder(const std::string& dir, const char* what, std::string* err) {
  if (!dir.empty() && IsReadableFolder(dir)) return true;
  *err += std::string("update-check: ") + dir + " is not a " + what + " that can be read\n";
  return false;
}

int RunUpdateCheck(const std::vector<std::string>& args, std::string* out, std::string* err) {
  bool json = false;
  bool options_end = false;
  std::string dir;
  bool have_dir = false;
  std::string game_dir;
  bool have_game = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (!options_end && arg == "--json") {
      json = true;
    } else if (!options_end && (arg == "--help" || arg == "-h")) {
      *out += kUsage;
      return kExitClean;
    } else if (!options_end && arg == "--game") {
      if (have_game || i + 1 == args.size()) {
        *err += std::string("update-check: --game takes one game folder\n") + kUsage;
        return kExitCannotRun;
      }
      game_dir = args[++i];
      have_game = true;
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
  if (!ReadableFolder(dir, "folder", err)) return kExitCannotRun;
  if (have_game && !ReadableFolder(game_dir, "game folder", err)) return kExitCannotRun;
  CheckReport report;
  if (!CheckMedium(dir, &report)) {
    *err += "update-check: cannot read the medium in " + dir + "\n";
    return kExitCannotRun;
  }
  bool problems = CountProblems(report, Severity::kError) > 0;
  if (!have_game) {
    *out += json ? FormatJson(report) : FormatHuman(dir, report);
    return problems ? kExitProblems : kExitClean;
  }
  GameReport game;
  std::string error;
  if (!CheckGame(dir, game_dir, report, &game, &error)) {
    *err += "update-check: " + error + "\n";
    return kExitCannotRun;
  }
  *out += json ? FormatJson(report, &game) : FormatHuman(dir, report, &game, game_dir);
  return problems || game.verdict == "refuse" ? kExitProblems : kExitClean;
}
