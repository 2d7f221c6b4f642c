#include "pack_run.h"

#include <string.h>

#include "copy/copy_paths.h"
#include "copy/device_names.h"
#include "cp932_text.h"
#include "locale_text.h"
#include "medium_bind.h"
#include "medium_build.h"
#include "medium_files.h"
#include "medium_proof_writer.h"
#include "pack_plan.h"
#include "setting_fields.h"
#include "settings/settings.h"
#include "settings_writer.h"
#include "tree_files.h"
#include "version_record_writer.h"
#include "versions/version_record.h"
#include "windows_names.h"

namespace {

const char kUsage[] =
    "usage: update-pack [--old OLD_DIR]... NEW_DIR MEDIUM_DIR [--title TEXT] [--title-old TEXT]\n"
    "                   [--reg-p TEXT] [--reg-s TEXT] [--reg-t TEXT] [--path NAME] [--type NAME]\n"
    "                   [--exe UPDATE_EXE] [--json] [--force]\n"
    "       update-pack --bind MEDIUM_DIR --exe UPDATE_EXE [--json]\n"
    "Writes in MEDIUM_DIR the update medium that turns the game folder OLD_DIR into NEW_DIR:\n"
    "update.ini and, under the PATH folder (default GAME), every file of NEW_DIR that is new\n"
    "or changed (all of them without --old), and update.sha256, the SHA-256 of update.ini and\n"
    "of each file. --old may be given once per released version: the medium then carries\n"
    "every file that any of them lacks or holds otherwise, and update.versions records each\n"
    "version's files, labelled with the folder's name, for the updater to know the game by.\n"
    "--exe puts UPDATE_EXE beside them, bound to this medium: it carries the\n"
    "SHA-256 of update.sha256 (sign it afterwards). MEDIUM_DIR must be empty or absent; --force\n"
    "replaces what it holds. --type names the file type, [UPDATE] by default.\n"
    "--bind proves a medium written by hand: update.sha256 for what it holds, UPDATE_EXE\n"
    "bound to it in MEDIUM_DIR/update.exe (update-pack --bind --help says more).\n"
    "Exit code: 0 medium written and checked, 1 the update cannot be expressed (nothing is\n"
    "written), 2 bad arguments or unreadable input.\n";

// The text options, in the order their keys are written.
struct TextOption {
  const char* flag;
  const char* key;
};
const TextOption kTextOptions[] = {{"--title", "TITLE"}, {"--title-old", "TITLE_OLD"},
                                   {"--path", "PATH"},   {"--reg-p", "REG_P"},
                                   {"--reg-s", "REG_S"}, {"--reg-t", "REG_T"}};
constexpr size_t kTextOptionCount = sizeof kTextOptions / sizeof kTextOptions[0];

struct Args {
  std::string exe, type = "[UPDATE]";
  bool json = false, force = false;
  std::vector<std::string> old_dirs;
  std::vector<std::string> dirs;
  bool given[kTextOptionCount] = {};
  std::string texts[kTextOptionCount];  // as given, in the locale's encoding
};

int BadArgs(const std::string& why, std::string* err) {
  *err += "update-pack: " + why + "\n" + kUsage;
  return kExitBadInput;
}

// Returns -1 when the arguments are usable, else the exit code.
int ParseArgs(const std::vector<std::string>& args, Args* parsed, std::string* out,
              std::string* err) {
  bool options_end = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (options_end || arg.size() < 2 || arg[0] != '-') {
      parsed->dirs.push_back(arg);
      continue;
    }
    if (arg == "--") {
      options_end = true;
    } else if (arg == "--help" || arg == "-h") {
      *out += kUsage;
      return kExitPacked;
    } else if (arg == "--json") {
      parsed->json = true;
    } else if (arg == "--force") {
      parsed->force = true;
    } else {
      std::string* value = nullptr;
      if (arg == "--old") {
        parsed->old_dirs.emplace_back();
        value = &parsed->old_dirs.back();
      } else if (arg == "--exe") {
        value = &parsed->exe;
      } else if (arg == "--type") {
        value = &parsed->type;
      }
      for (size_t n = 0; n < kTextOptionCount; ++n) {
        if (arg != kTextOptions[n].flag) continue;
        value = &parsed->texts[n];
        parsed->given[n] = true;
      }
      if (value == nullptr) return BadArgs("unknown option " + arg, err);
      if (i + 1 >= args.size()) return BadArgs(arg + " needs a value", err);
      *value = args[++i];
    }
  }
  if (parsed->dirs.size() != 2) return BadArgs("give NEW_DIR and MEDIUM_DIR", err);
  bool empty = parsed->dirs[0].empty() || parsed->dirs[1].empty();
  for (const std::string& old_dir : parsed->old_dirs) empty = empty || old_dir.empty();
  if (empty) return BadArgs("a folder name is empty", err);
  if (parsed->old_dirs.size() > kMaxVersions) {
    return BadArgs("more than " + std::to_string(kMaxVersions) +
                       " --old folders; a version record holds no more versions",
                   err);
  }
  return -1;
}

// Each old version is known by its folder's name, which the version record
// and update-check --game show; two of one name could not be told apart.
int LabelVersions(const Args& args, std::vector<PackedVersion>* versions, std::string* err) {
  for (const std::string& dir : args.old_dirs) {
    std::string label;
    if (!LocaleToUtf8(LabelOfFolder(dir), &label)) {
      return BadArgs("the name of --old " + dir + " is not text in the encoding of the locale",
                     err);
    }
    const char* reason = UnusableLabelReason(label);
    if (reason != nullptr) return BadArgs("the name of --old " + dir + " " + reason, err);
    for (const PackedVersion& other : *versions) {
      if (other.label != label) continue;
      return BadArgs("--old " + other.dir + " and --old " + dir + " are both named '" + label +
                         "'; the name labels the version, so each --old folder needs its own",
                     err);
    }
    versions->push_back({label, dir, {}});
  }
  return -1;
}

// The code page 932 form of a text option, or false after reporting why
// there is none.
bool OptionText(const char* flag, const std::string& given, std::string* cp932, PackReport* report,
                std::string* err, int* code) {
  std::string utf8;
  if (!LocaleToUtf8(given, &utf8)) {
    *err += std::string("update-pack: the value of ") + flag +
            " is not text in the encoding of the locale\n";
    *code = kExitBadInput;
    return false;
  }
  if (!EncodeCp932(utf8, cp932)) {
    AddPackProblem(report, flag, Severity::kError, "not-cp932",
                   "'" + utf8 + "' has no code page 932 form, which the updater shows");
    return false;
  }
  return true;
}

// The PATH folder as names below the medium, '/' between them; reports
// what keeps it from being one.
bool CheckPathFolder(const std::string& path, std::string* folder, PackReport* report) {
  folder->clear();
  if (path.empty()) return true;
  if (!IsEntryInsideGameFolder(path.c_str())) {
    AddPackProblem(report, "--path", Severity::kError, "escapes-medium",
                   "the PATH folder must be a folder below the medium: no drive, colon or name "
                   "of dots only");
    return false;
  }
  // Separators are one-byte characters: code page 932 and UTF-8 agree there
  // once the names are known to be UTF-8 text, so the UTF-8 form is split.
  std::string utf8 = DecodeCp932(path);
  std::string name;
  for (size_t i = 0; i <= utf8.size(); ++i) {
    if (i < utf8.size() && utf8[i] != '\\' && utf8[i] != '/') {
      name += utf8[i];
      continue;
    }
    if (!IsWindowsName(name)) {
      AddPackProblem(report, "--path", Severity::kError, "not-a-windows-name",
                     "'" + name + "' cannot be a folder name on Windows");
      return false;
    }
    if (IsDeviceName(name.data(), name.size())) {
      AddPackProblem(report, "--path", Severity::kError, "device-name",
                     "'" + name + "' opens a device on Windows, not a folder");
      return false;
    }
    *folder += (folder->empty() ? "" : "/") + name;
    name.clear();
  }
  return true;
}

// Checks the text options and the type; fills the keys to write.
int CheckOptions(const Args& args, std::vector<KeyValue>* keys, std::string* type,
                 std::string* path_folder, PackReport* report, std::string* err) {
  ResetSettings();
  int code = -1;
  std::string values[kTextOptionCount];
  for (size_t n = 0; n < kTextOptionCount; ++n) {
    const TextField* field = FindTextField(kTextOptions[n].key);
    values[n] = field->value;
    if (!args.given[n]) continue;
    std::string cp932;
    if (!OptionText(kTextOptions[n].flag, args.texts[n], &cp932, report, err, &code)) continue;
    values[n] = cp932;
    const char* reason = UnreadableValueReason(cp932);
    if (cp932.size() > field->size - 1) {
      AddPackProblem(report, kTextOptions[n].flag, Severity::kError, "value-too-long",
                     std::to_string(cp932.size()) + " bytes in code page 932; the field " +
                         field->name + " holds " + std::to_string(field->size - 1));
    } else if (reason != nullptr) {
      AddPackProblem(report, kTextOptions[n].flag, Severity::kError, "unreadable-value", reason);
    } else if (cp932 != field->value) {
      keys->push_back({kTextOptions[n].key, cp932});
    }
  }
  if (code >= 0) return code;
  // reg_key is composed as REG_P\REG_S\REG_T, and cut at its field.
  size_t reg_key = values[3].size() + values[4].size() + values[5].size() + 2;
  if (reg_key > sizeof settings.reg_key - 1) {
    AddPackProblem(report, "--reg-p/--reg-s/--reg-t", Severity::kError, "value-too-long",
                   "the registry key REG_P\\REG_S\\REG_T is " + std::to_string(reg_key) +
                       " bytes; the updater cuts it at " +
                       std::to_string(sizeof settings.reg_key - 1) + " and looks in another key");
  }
  CheckPathFolder(values[2], path_folder, report);

  std::string type_text;
  if (OptionText("--type", args.type, &type_text, report, err, &code)) {
    if (type_text.empty() || type_text[0] != '[') type_text = "[" + type_text + "]";
    const char* reason = UnusableTypeReason(type_text);
    if (reason != nullptr) {
      AddPackProblem(report, "--type", Severity::kError, "bad-type",
                     "'" + DecodeCp932(type_text) + "' cannot name the file type: " + reason);
    }
    *type = type_text;
  }
  return code;
}

// The medium's own files. Without a PATH folder the packed files lie beside
// them, and a name that Windows takes for one of them would replace it or
// be replaced; update.exe counts even without --exe, since it may be put
// there by hand or by a later pack.
const char* const kMediumNames[] = {"update.ini", "update.versions", "update.sha256", "update.exe"};

void CheckMediumNames(const std::string& path_folder, PackReport* report) {
  if (!path_folder.empty()) return;
  std::string listed;
  for (const char* name : kMediumNames) listed += std::string(listed.empty() ? "" : ", ") + name;
  for (const PackedFile& file : report->files) {
    // A folder of that name clashes as a file does.
    std::string key = SameFileKey(file.path);
    key = key.substr(0, key.find('/'));
    for (const char* name : kMediumNames) {
      if (key != name) continue;
      AddPackProblem(report, file.path, Severity::kError, "clash-with-medium",
                     "with an empty PATH the files lie beside the medium's own (" + listed +
                         "), and this one would take the place of " + name);
    }
  }
}

int ReadTree(const char* what, const std::string& dir, Tree* tree, std::string* err) {
  std::string error;
  if (ListTree(dir, tree, &error)) return -1;
  *err += std::string("update-pack: cannot read ") + what + " " + dir + " (" + error + ")\n";
  return kExitBadInput;
}

int CheckMediumFolder(const Args& args, std::string* err) {
  const std::string& medium = args.dirs[1];
  // --force moves the medium aside and removes it: through a link that would
  // remove whatever the link leads to, and the overlap check below would
  // compare another name than the one removed.
  std::string link = FindLinkOnTheWay(medium);
  if (!link.empty()) {
    *err += "update-pack: the medium " + medium + " is reached through the link " + link +
            "; give the folder's own path\n";
    return kExitBadInput;
  }
  FolderState state = GetFolderState(medium);
  if (state == FolderState::kNotAFolder) {
    *err += "update-pack: " + medium + " is a file, not a folder for the medium\n";
    return kExitBadInput;
  }
  if (state == FolderState::kNotEmpty && !args.force) {
    *err += "update-pack: " + medium + " is not empty; --force replaces what it holds\n";
    return kExitBadInput;
  }
  // A medium inside a game tree would pack itself next time; a game tree
  // inside the medium would be lost when --force replaces it.
  std::vector<std::string> inputs = {args.dirs[0]};
  inputs.insert(inputs.end(), args.old_dirs.begin(), args.old_dirs.end());
  for (const std::string& input : inputs) {
    if (IsSameOrInside(medium, input) || IsSameOrInside(input, medium)) {
      *err += "update-pack: the medium " + medium + " and " + input + " overlap\n";
      return kExitBadInput;
    }
  }
  return -1;
}

}  // namespace

int RunUpdatePack(const std::vector<std::string>& arg_list, std::string* out, std::string* err) {
  if (AsksForBind(arg_list)) return RunBind(arg_list, out, err);
  Args args;
  int code = ParseArgs(arg_list, &args, out, err);
  if (code >= 0) return code;
  PackReport report;
  report.new_dir = args.dirs[0];
  report.medium_dir = args.dirs[1];
  code = LabelVersions(args, &report.versions, err);
  if (code >= 0) return code;

  MediumSource source;
  source.new_dir = report.new_dir;
  source.exe = args.exe;
  code = CheckOptions(args, &source.keys, &source.type, &source.path_folder, &report, err);
  if (code >= 0) return code;
  Tree new_tree;
  std::vector<Tree> old_trees(args.old_dirs.size());
  code = ReadTree("NEW_DIR", report.new_dir, &new_tree, err);
  for (size_t v = 0; v < old_trees.size() && code < 0; ++v) {
    code = ReadTree("OLD_DIR", args.old_dirs[v], &old_trees[v], err);
  }
  if (code >= 0) return code;
  uint64_t exe_size = 0;
  if (!args.exe.empty() && !IsReadableFile(args.exe, &exe_size)) {
    *err += "update-pack: cannot read the update.exe " + args.exe + "\n";
    return kExitBadInput;
  }
  // The medium's copy is bound to the medium before it is signed.
  std::string program;
  if (!args.exe.empty() && ReadMediumFile(args.exe, &program) &&
      UnbindableReason(program) != nullptr) {
    *err += "update-pack: " + args.exe + " " + UnbindableReason(program) + "\n";
    return kExitBadInput;
  }
  code = CheckMediumFolder(args, err);
  if (code >= 0) return code;

  std::string error;
  if (!PlanFiles(report.new_dir, new_tree, old_trees, &report, &error)) {
    *err += "update-pack: " + error + "\n";
    return kExitBadInput;
  }
  CheckMediumNames(source.path_folder, &report);
  if (!report.versions.empty()) {
    report.record = ComposeVersionRecord(report.versions);
    CheckRecordFits(&report);
  }
  std::vector<std::string> entries;
  report.medium_bytes = exe_size;
  for (const PackedFile& file : report.files) {
    entries.push_back(file.entry);
    report.medium_bytes += file.size;
  }
  report.settings_text = ComposeSettings(source.keys, source.type, entries);
  report.medium_bytes += report.settings_text.size() + report.record.size();
  // update.sha256: a digest, two spaces, the path and a line end a file.
  report.medium_bytes += 64 + 2 + strlen("update.ini") + 1;
  if (!report.record.empty()) report.medium_bytes += 64 + 2 + strlen("update.versions") + 1;
  for (const PackedFile& file : report.files) {
    size_t path =
        file.path.size() + (source.path_folder.empty() ? 0 : source.path_folder.size() + 1);
    report.medium_bytes += 64 + 2 + path + 1;
  }

  code = kExitCannotExpress;
  if (CountPackProblems(report, Severity::kError) == 0) code = BuildMedium(source, &report, &error);
  if (code == kExitBadInput) *err += "update-pack: " + error + "\n";
  *out += args.json ? FormatPackJson(report) : FormatPackHuman(report);
  return code;
}
