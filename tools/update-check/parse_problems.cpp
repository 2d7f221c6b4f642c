#include "parse_problems.h"

#include <string.h>
#include <strings.h>

#include <map>

#include "cp932_text.h"
#include "problem_list.h"
#include "setting_fields.h"
#include "settings/settings.h"

namespace {

// Why a key that is in no table may still have been meant as one.
std::string UnknownKeyHint(const std::string& key) {
  std::vector<const char*> known(std::begin(kListKeyNames), std::end(kListKeyNames));
  for (const TextField& field : kTextFields) {
    if (field.key != nullptr) known.push_back(field.key);
  }
  for (const char* name : known) {
    if (strcasecmp(name, key.c_str()) == 0) {
      return std::string(" (keys are matched with their case: did you mean ") + name + "?)";
    }
    size_t len = strlen(name);
    if (key.compare(0, len, name) == 0 && key.size() > len && key[len] == '"') {
      return std::string(" (a quote right after ") + name +
             " belongs to the key: put a space between them)";
    }
  }
  return "";
}

bool IsKnownKey(const std::string& key) {
  if (FindTextField(key.c_str()) != nullptr) return true;
  for (const char* name : kListKeyNames) {
    if (key == name) return true;
  }
  return false;
}

struct Overflow {
  int line = 0;
  std::string text;
  int more = 0;
};

void NoteOverflow(Overflow* overflow, const RecordedEvent& event) {
  if (overflow->line == 0) {
    overflow->line = event.line;
    overflow->text = event.text;
  } else {
    ++overflow->more;
  }
}

struct EventState {
  std::map<std::string, int> key_lines;  // line where each text key was last set
  int split_line = 0;                    // line last reported as split
};

void ReportEvent(const RecordedEvent& event, const std::vector<std::string>& lines,
                 EventState* state, CheckReport* report) {
  const std::string key = DecodeCp932(event.key);
  switch (event.kind) {
    case ParseEventKind::kTextKey: {
      auto seen = state->key_lines.find(event.key);
      if (seen != state->key_lines.end()) {
        AddProblem(report, event.line, Severity::kWarning, "key-repeated",
                   key + " was already set on line " + std::to_string(seen->second) +
                       "; only this later value is kept");
      }
      state->key_lines[event.key] = event.line;
      if (event.index == 1) {
        const TextField* field = FindTextField(event.key.c_str());
        size_t room = field != nullptr ? field->size - 1 : 0;
        AddProblem(report, event.line, Severity::kError, "value-cut",
                   "the value of " + key + " is " + std::to_string(event.text.size()) +
                       " bytes; its field holds " + std::to_string(room) +
                       ", so the rest is cut off");
      }
      break;
    }
    case ParseEventKind::kUnknownKey:
      // An empty key is a comment ("#" alone or "# text"); a key that starts
      // with '#' comes from a "##" line that ends a list.
      if (event.key.empty() || event.key[0] == '#') break;
      AddProblem(
          report, event.line, Severity::kWarning, "unknown-key",
          "unknown key " + Quoted(event.key) + ": the line is ignored" + UnknownKeyHint(event.key));
      break;
    case ParseEventKind::kTextAfterQuote:
      // Comments may quote freely, and a line with an unknown key is
      // reported as that already.
      if (!IsKnownKey(event.key)) break;
      AddProblem(report, event.line, Severity::kWarning, "text-after-quote",
                 "the text after the closing quote of " + key + " is ignored");
      break;
    case ParseEventKind::kOutsideList:
      AddProblem(report, event.line, Severity::kWarning, "text-outside-list",
                 Quoted(event.text) + " stands outside any list and is ignored");
      break;
    case ParseEventKind::kTypeCut:
      AddProblem(report, event.line, Severity::kError, "value-cut",
                 "the type name " + Quoted(event.text) + " is " +
                     std::to_string(event.text.size()) + " bytes; a type name holds " +
                     std::to_string(sizeof settings.install_lst[0] - 1) +
                     ", so the rest is cut off and its headers will not find it");
      break;
    case ParseEventKind::kGroupLine:
      if (event.index >= 0) break;
      AddProblem(report, event.line, Severity::kError, "unknown-type",
                 "the group line " + Quoted(event.text) +
                     " names no file type listed above it: the updater shows the \"not list type\" "
                     "boxes");
      break;
    case ParseEventKind::kTypeHeader:
      if (event.index >= 0 || event.text.compare(0, 2, "[]") == 0) break;
      AddProblem(report, event.line, Severity::kError, "unknown-type",
                 "the type header " + Quoted(event.text) +
                     " names no file type listed above it: the updater shows the \"not list type\" "
                     "boxes and copies none of the files below it");
      break;
    case ParseEventKind::kFileAdded:
      if (event.index >= static_cast<int>(report->entry_lines.size())) {
        report->entry_lines.resize(static_cast<size_t>(event.index) + 1, 0);
      }
      report->entry_lines[static_cast<size_t>(event.index)] = event.line;
      break;
    case ParseEventKind::kNameTooLong:
      AddProblem(report, event.line, Severity::kError, "name-too-long",
                 "the file name " + Quoted(event.text) + " is " +
                     std::to_string(event.text.size()) + " bytes; an entry holds " +
                     std::to_string(sizeof settings.files[0].name - 1) +
                     ", so the updater leaves this file out");
      break;
    case ParseEventKind::kLineSplit: {
      if (state->split_line == event.line) break;
      state->split_line = event.line;
      size_t length = static_cast<size_t>(event.line) <= lines.size()
                          ? lines[static_cast<size_t>(event.line) - 1].size()
                          : 0;
      AddProblem(
          report, event.line, Severity::kWarning, "line-split",
          "the line has " + std::to_string(length) +
              " bytes before its line end; the updater reads at most 511 bytes at a time, line "
              "feed included, and takes the rest as a line of its own");
      break;
    }
    default:
      break;
  }
}

}  // namespace

void ReportParseEvents(const std::vector<RecordedEvent>& events,
                       const std::vector<std::string>& lines, CheckReport* report) {
  EventState state;
  Overflow types, files;
  for (const RecordedEvent& event : events) {
    if (event.kind == ParseEventKind::kTooManyTypes) NoteOverflow(&types, event);
    if (event.kind == ParseEventKind::kTooManyFiles) NoteOverflow(&files, event);
    ReportEvent(event, lines, &state, report);
  }
  if (types.line != 0) {
    AddProblem(report, types.line, Severity::kError, "too-many-types",
               "more than " + std::to_string(kMaxFileTypes) + " file types: " + Quoted(types.text) +
                   " and " + std::to_string(types.more) + " type line(s) after it are left out");
  }
  if (files.line != 0) {
    AddProblem(report, files.line, Severity::kError, "too-many-files",
               "more than " + std::to_string(kMaxFiles) + " files: " + Quoted(files.text) +
                   " and " + std::to_string(files.more) + " file line(s) after it are left out");
  }
}
