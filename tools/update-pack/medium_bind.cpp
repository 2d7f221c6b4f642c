#include "medium_bind.h"

#include <stdio.h>

#include <set>

#include <nlohmann/json.hpp>

#include "checker.h"
#include "medium_files.h"
#include "medium_proof_writer.h"
#include "pack_run.h"
#include "problem_list.h"
#include "proof_check.h"
#include "replace_file.h"
#include "report_output.h"
#include "settings/settings.h"
#include "tree_files.h"
#include "versions/version_record.h"

namespace {

const char kBindUsage[] =
    "usage: update-pack --bind MEDIUM_DIR --exe UPDATE_EXE [--json]\n"
    "Proves a medium written by hand: checks its update.ini and the files it copies as\n"
    "update-check does, writes update.sha256 for update.ini, update.versions when the\n"
    "medium holds one, and each of those files (an existing list is rebuilt from the medium\n"
    "as it stands) and puts UPDATE_EXE in\n"
    "MEDIUM_DIR/update.exe, bound to that list (sign it afterwards).\n"
    "Exit code: 0 medium bound, 1 the medium has errors (nothing written), 2 bad arguments\n"
    "or unreadable input.\n";

const char kRecordName[] = "update.versions";

struct BindArgs {
  std::string medium, exe;
  bool json = false;
};

int BadBindArgs(const std::string& why, std::string* err) {
  *err += "update-pack: " + why + "\n" + kBindUsage;
  return kExitBadInput;
}

// Returns -1 when the arguments are usable, else the exit code.
int ParseBindArgs(const std::vector<std::string>& args, BindArgs* parsed, std::string* out,
                  std::string* err) {
  for (const std::string& arg : args) {
    if (arg != "--help" && arg != "-h") continue;
    *out += kBindUsage;
    return kExitPacked;
  }
  bool have_medium = false, have_exe = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--json") {
      parsed->json = true;
    } else if (arg == "--bind" || arg == "--exe") {
      bool* have = arg == "--bind" ? &have_medium : &have_exe;
      if (*have) return BadBindArgs(arg + " is given twice", err);
      if (i + 1 >= args.size()) return BadBindArgs(arg + " needs a value", err);
      *have = true;
      (arg == "--bind" ? parsed->medium : parsed->exe) = args[++i];
    } else {
      return BadBindArgs("--bind takes no " + arg, err);
    }
  }
  if (parsed->medium.empty()) return BadBindArgs("--bind needs MEDIUM_DIR", err);
  if (parsed->exe.empty()) return BadBindArgs("--bind needs --exe UPDATE_EXE", err);
  return -1;
}

// A version record that the medium holds is listed, as a packed medium
// lists it, once the updater's reader accepts it: a record that the list
// leaves out is not believed, and one that it cannot read refuses the
// medium.
void ListRecord(const std::string& dir, std::vector<ListedFile>* files, std::set<std::string>* seen,
                CheckReport* report) {
  std::string found, record;
  if (FindOnMedium(dir, kRecordName, &found) != MediumEntry::kFile) return;
  size_t line = 0;
  if (!ReadMediumFile(found, &record)) {
    report->problems.push_back({0, Severity::kError, "versions-unreadable",
                                std::string(kRecordName) + " cannot be read", kRecordName});
  } else if (record.size() > kMaxVersionRecordSize) {
    report->problems.push_back({0, Severity::kError, "versions-malformed",
                                std::string(kRecordName) + " is over " +
                                    std::to_string(kMaxVersionRecordSize) +
                                    " bytes; the updater would refuse the medium",
                                kRecordName});
  } else if ((line = FirstMalformedVersionLine(record.data(), record.size())) != 0) {
    report->problems.push_back(
        {static_cast<int>(line), Severity::kError, "versions-malformed",
         "not a line 'version <label>' or '<64 lowercase hex digits> <size> <path>' in its place "
         "(paths sorted and once in each version, labels unique, every line ending in a line "
         "feed); the updater would refuse the medium",
         kRecordName});
  } else {
    files->push_back({kRecordName, found});
    seen->insert(kRecordName);
  }
}

// update.ini, the version record when there is one, then the file of every
// entry the copy takes, in its order: the lines of a packed medium. An entry
// whose line would come twice is an error: the updater refuses a list that
// names a path twice.
std::vector<ListedFile> FilesToList(const std::string& dir, CheckReport* report) {
  MediumListingScope listing;
  std::vector<ListedFile> files;
  std::string found;
  FindOnMedium(dir, "update.ini", &found);
  files.push_back({"update.ini", found});
  std::set<std::string> seen = {"update.ini"};
  ListRecord(dir, &files, &seen, report);
  for (const CopyItem& item : report->copy) {
    // Refused and missing ones are errors of the check already.
    if (item.refused || !item.exists) continue;
    const char* name = settings.files[item.entry].name;
    std::string path = ListSpelling(name);
    if (!seen.insert(path).second) {
      AddProblem(report, report->entry_lines[static_cast<size_t>(item.entry)], Severity::kError,
                 "listed-twice",
                 Quoted(name) + " would give update.sha256 a second line for '" + path +
                     "', and the updater refuses a list that names a path twice");
      continue;
    }
    FindOnMedium(dir, item.source, &found);
    files.push_back({path, found});
  }
  return files;
}

// Where a file of the medium's own stands, in whatever case it was written;
// its lower-case name when there is none. False when a folder is in the way.
bool TargetOf(const std::string& dir, const char* name, std::string* target, std::string* err) {
  MediumEntry entry = FindOnMedium(dir, name, target);
  if (entry == MediumEntry::kMissing) *target = dir + "/" + name;
  if (entry != MediumEntry::kFolder) return true;
  *err = std::string("update-pack: ") + *target + " is a folder, not the medium's " + name + "\n";
  return false;
}

// Writes list and program beside their places, synced, then renames them
// into place: a medium never holds half a file of them. UPDATE_EXE may be
// the medium's own update.exe, which the rename then replaces.
bool WriteProof(const std::string& dir, const std::string& list, const std::string& program,
                std::string* err) {
  std::string list_target, exe_target;
  if (!TargetOf(dir, "update.sha256", &list_target, err) ||
      !TargetOf(dir, "update.exe", &exe_target, err)) {
    return false;
  }
  const std::string list_temp = dir + "/.update.sha256.bind";
  const std::string exe_temp = dir + "/.update.exe.bind";
  // Left by a run that was cut off; they are this tool's own names.
  remove(list_temp.c_str());
  remove(exe_temp.c_str());
  bool ok = WriteWholeFile(list_temp, list) && WriteWholeFile(exe_temp, program) &&
            ReplaceWithFile(list_temp, list_target) && ReplaceWithFile(exe_temp, exe_target);
  if (!ok) {
    remove(list_temp.c_str());
    remove(exe_temp.c_str());
    *err = "update-pack: cannot write update.sha256 and update.exe in " + dir + "\n";
    return false;
  }
  if (!SyncFolder(dir)) {
    *err = "update-pack: cannot write the names in " + dir + " out to the disk\n";
    return false;
  }
  return true;
}

std::string FormatBindReport(const BindArgs& args, const CheckReport& report, bool written) {
  if (args.json) {
    nlohmann::ordered_json document = nlohmann::ordered_json::parse(FormatJson(report));
    document["written"] = written;
    return document.dump(2) + "\n";
  }
  return FormatHuman(args.medium, report) +
         (written ? "update.sha256 and update.exe written: sign " + args.medium +
                        "/update.exe next (scripts/sign.sh)\n"
                  : "nothing written\n");
}

}  // namespace

bool AsksForBind(const std::vector<std::string>& args) {
  for (const std::string& arg : args) {
    if (arg == "--") return false;
    if (arg == "--bind") return true;
  }
  return false;
}

int RunBind(const std::vector<std::string>& arg_list, std::string* out, std::string* err) {
  BindArgs args;
  int code = ParseBindArgs(arg_list, &args, out, err);
  if (code >= 0) return code;
  if (!IsReadableFolder(args.medium)) {
    *err += "update-pack: " + args.medium + " is not a folder that can be read\n";
    return kExitBadInput;
  }
  std::string program;
  if (!ReadMediumFile(args.exe, &program)) {
    *err += "update-pack: cannot read the update.exe " + args.exe + "\n";
    return kExitBadInput;
  }
  if (UnbindableReason(program) != nullptr) {
    *err += "update-pack: " + args.exe + " " + UnbindableReason(program) + "\n";
    return kExitBadInput;
  }

  // The list it replaces proves nothing: it is rebuilt from what the
  // medium holds now, so update.sha256 and update.exe are not checked.
  CheckReport report;
  if (!CheckMediumFiles(args.medium, &report)) {
    *err += "update-pack: cannot read the medium in " + args.medium + "\n";
    return kExitBadInput;
  }
  std::vector<ListedFile> files = FilesToList(args.medium, &report);
  if (CountProblems(report, Severity::kError) > 0) {
    *out += FormatBindReport(args, report, false);
    return kExitCannotExpress;
  }
  std::string list, error;
  if (!ComposeHashList(files, &list, &error) || !BindProgram(args.exe, list, &program, &error)) {
    *err += "update-pack: " + error + "\n";
    return kExitBadInput;
  }
  if (!WriteProof(args.medium, list, program, err)) return kExitBadInput;

  // The medium as the updater will find it, list and fingerprint included.
  if (!CheckMedium(args.medium, &report)) {
    *err += "update-pack: cannot read the bound medium in " + args.medium + " back\n";
    return kExitBadInput;
  }
  *out += FormatBindReport(args, report, true);
  if (CountProblems(report, Severity::kError) > 0 || report.fingerprint != "matches") {
    *err += "update-pack: the medium changed while it was bound; bind it again\n";
    return kExitCannotExpress;
  }
  return kExitPacked;
}
