#include "report_output.h"

#include <nlohmann/json.hpp>

#include "cp932_text.h"
#include "setting_fields.h"
#include "settings/settings.h"

using Json = nlohmann::ordered_json;

const char* SeverityName(Severity severity) {
  return severity == Severity::kError ? "error" : "warning";
}

// The report is built in place, and each object is made with room for all
// its keys: its members are pairs with a constant key, so growing one
// copies every value in it, lists and all, instead of moving them. The
// room also keeps a reference to a member good while the next is added.
static Json ObjectOf(size_t keys) {
  Json object = Json::object();
  object.get_ref<Json::object_t&>().reserve(keys);
  return object;
}

Json ProblemsJson(const std::vector<Problem>& problems) {
  Json list = Json::array();
  for (const Problem& problem : problems) {
    Json& item = list.emplace_back(ObjectOf(5));
    // Problems of update.ini say nothing more, as they always did.
    if (problem.file != "update.ini") item["file"] = problem.file;
    item["line"] = problem.line;
    item["severity"] = SeverityName(problem.severity);
    item["code"] = problem.code;
    item["message"] = problem.message;
  }
  return list;
}

// A medium that carries a proof, or a program that could check one, or a
// version record.
static bool HasProof(const CheckReport& report) {
  return report.hash_list != "absent" || report.fingerprint != "no update.exe" ||
         report.versions != "absent";
}

// Like the rest of the JSON it names no folder of this machine, so that two
// builds' reports on one folder compare equal.
static Json GameJson(const GameReport& game) {
  Json object = ObjectOf(7);
  object["verdict"] = game.verdict;
  object["record"] = game.record;
  object["versions"] = game.versions;
  object["between"] = game.between;
  object["applied"] = game.verdict == "applied";
  object["unmatched"] = game.unmatched;
  object["copy"] = game.copy;
  return object;
}

std::string FormatJson(const CheckReport& report, const GameReport* game) {
  Json document = ObjectOf(7);
  Json& fields = document["settings"] = ObjectOf(sizeof kTextFields / sizeof kTextFields[0]);
  for (const TextField& field : kTextFields) fields[field.name] = DecodeCp932(field.value);
  Json& types = document["types"] = Json::array();
  for (int i = 0; i < settings.install_lst_count; ++i) {
    types.push_back(DecodeCp932(settings.install_lst[i]));
  }
  Json& files = document["files"] = Json::array();
  for (int i = 0; i < settings.file_count; ++i) {
    Json& item = files.emplace_back(ObjectOf(3));
    item["name"] = DecodeCp932(settings.files[i].name);
    item["flags"] = settings.files[i].flags;
    item["line"] = report.entry_lines[static_cast<size_t>(i)];
  }
  Json& copy = document["copy"] = Json::array();
  for (const CopyItem& item : report.copy) {
    Json& shown = copy.emplace_back(ObjectOf(3));
    shown["name"] = DecodeCp932(settings.files[item.entry].name);
    shown["source"] = item.refused ? Json(nullptr) : Json(DecodeCp932(item.source));
    shown["exists"] = item.exists;
  }
  Json& messages = document["test_messages"] = Json::array();
  for (const std::string& text : report.test_messages) messages.push_back(DecodeCp932(text));
  document["problems"] = ProblemsJson(report.problems);
  // Only a medium that carries a proof, or a program that could check one,
  // has this key: a hand-made medium's report is as it always was.
  if (HasProof(report)) {
    Json& proof = document["proof"] = ObjectOf(4);
    proof["update_sha256"] = report.hash_list;
    proof["fingerprint"] = report.fingerprint;
    proof["update_versions"] = report.versions;
    if (report.versions == "present") proof["versions"] = report.version_labels;
  }
  if (game != nullptr) document["game"] = GameJson(*game);
  return document.dump(2) + "\n";
}

static std::string Plural(int count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

// Text from update.ini shown on a line of its own. The parser pairs a lead
// byte with the line feed after it, and a stranger's file may hold escape
// sequences: each control character but the tab is shown as its symbol from
// the Control Pictures block, so every item stays on its line and nothing in
// the file drives the terminal.
static std::string OneLine(const std::string& utf8) {
  std::string out;
  for (char c : utf8) {
    unsigned char b = static_cast<unsigned char>(c);
    if (b < 0x20 && b != '\t') {
      out += "\xE2\x90";
      out += static_cast<char>(0x80 + b);
    } else if (b == 0x7F) {
      out += "\xE2\x90\xA1";
    } else {
      out += c;
    }
  }
  return out;
}

static std::string Shown(const char* cp932) {
  return OneLine(DecodeCp932(cp932));
}

static std::string Labels(const std::vector<std::string>& labels) {
  std::string out;
  for (const std::string& label : labels) out += (out.empty() ? "" : ", ") + OneLine(label);
  return out;
}

static std::string FormatGame(const std::string& game_dir, const GameReport& game) {
  std::string out = "\nGame:     " + game_dir + "\n";
  if (game.verdict == "none") {
    return out +
           "Verdict:  not identified: the medium has no update.sha256, so the updater "
           "copies every file as before\n";
  }
  if (game.verdict == "unchecked") {
    return out + "Verdict:  not identified: the updater refuses this medium (see the errors)\n";
  }
  if (!game.record) {
    out += "Versions: (no version record: the medium refuses no game)\n";
  } else if (game.verdict == "applied") {
    // Every old version "matches" a folder whose carried files are all new.
    out += "Versions: the update's own\n";
  } else if (!game.versions.empty()) {
    out += "Versions: " + Labels(game.versions) + "\n";
  } else if (!game.between.empty() && game.verdict == "refuse") {
    out += "Versions: none known (other files are of " + Labels(game.between) + ")\n";
  } else if (!game.between.empty()) {
    out += "Versions: between " + Labels(game.between) + " (no one version whole)\n";
  } else {
    out += "Versions: none known\n";
  }
  if (game.verdict == "refuse") {
    out += "Verdict:  refused, nothing is written; matching no known version:\n";
    for (const std::string& path : game.unmatched) out += "  " + OneLine(path) + "\n";
  } else if (game.verdict == "applied") {
    out += "Verdict:  already applied: every file the update carries is new\n";
  } else {
    out += "Verdict:  update: " + Plural(static_cast<int>(game.copy.size()), "file", "files") +
           " to copy\n";
    for (const std::string& path : game.copy) out += "  " + OneLine(path) + "\n";
  }
  return out;
}

std::string FormatHuman(const std::string& dir, const CheckReport& report, const GameReport* game,
                        const std::string& game_dir) {
  std::string out = "Medium:   " + dir + "\n";
  if (!report.settings_found) out += "          (no update.ini: the built-in settings)\n";
  out += "Title:    " + Shown(settings.title) + "\n";
  out += "Registry: HKEY_CURRENT_USER\\" + Shown(settings.reg_key) + "\n";
  out += "Source:   " +
         (settings.path[0] != '\0' ? Shown(settings.path) : "(the medium folder itself)") + "\n";
  out += Plural(settings.install_lst_count, "type", "types") + ", " +
         Plural(settings.file_count, "file", "files") + ", " + std::to_string(report.copy.size()) +
         " to copy\n";

  if (HasProof(report)) {
    out += "Proof:    update.sha256 " + report.hash_list + ", update.exe: " +
           (report.fingerprint == "no update.exe" ? "none on the medium"
                                                  : "fingerprint " + report.fingerprint) +
           "\n";
  }
  if (report.versions == "present") {
    out += "Versions: " + Labels(report.version_labels) + "\n";
  } else if (report.versions != "absent") {
    out += "Versions: update.versions " + report.versions + "\n";
  }

  out += "\nCopy plan (on the medium -> in the game folder):\n";
  if (report.copy.empty()) out += "  (nothing to copy)\n";
  for (const CopyItem& item : report.copy) {
    std::string name = Shown(settings.files[item.entry].name);
    if (item.refused) {
      out += "  (refused) -> " + name + "\n";
    } else {
      out += "  " + Shown(item.source.c_str()) + " -> " + name +
             (item.exists ? "" : "  (not on the medium)") + "\n";
    }
  }

  if (!report.problems.empty()) out += "\n";
  for (const Problem& problem : report.problems) {
    out += problem.file + ":" + std::to_string(problem.line) + ": " +
           SeverityName(problem.severity) + ": " + OneLine(problem.message) + " [" + problem.code +
           "]\n";
  }
  out += "\n" + Plural(CountProblems(report, Severity::kError), "error", "errors") + ", " +
         Plural(CountProblems(report, Severity::kWarning), "warning", "warnings") + "\n";
  if (game != nullptr) out += FormatGame(game_dir, *game);
  return out;
}
