// Runs update-check on a medium made from the input and checks that its two
// reports are sound and agree.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "checker.h"
#include "copy_plan.h"
#include "fuzz_check.h"
#include "medium_layout.h"
#include "memory_medium.h"
#include "report_output.h"
#include "settings/settings.h"

using Json = nlohmann::json;

namespace {

// Where the medium stands; it is held in memory.
const std::string kMedium = "/medium";

const MediumMaker kInMemory = {AddMemoryFolder, AddMemoryFile};

// Strict UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF.
bool ValidUtf8(const std::string& s) {
  size_t i = 0;
  while (i < s.size()) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    size_t len = c < 0x80                 ? 1
                 : c >= 0xC2 && c <= 0xDF ? 2
                 : c >= 0xE0 && c <= 0xEF ? 3
                 : c >= 0xF0 && c <= 0xF4 ? 4
                                          : 0;
    if (len == 0 || i + len > s.size()) return false;
    for (size_t k = 1; k < len; ++k) {
      unsigned char t = static_cast<unsigned char>(s[i + k]);
      unsigned char low = 0x80, high = 0xBF;
      if (k == 1 && c == 0xE0) low = 0xA0;
      if (k == 1 && c == 0xED) high = 0x9F;
      if (k == 1 && c == 0xF0) low = 0x90;
      if (k == 1 && c == 0xF4) high = 0x8F;
      if (t < low || t > high) return false;
    }
    i += len;
  }
  return true;
}

void CheckStrings(const Json& value) {
  if (value.is_string()) {
    Check(ValidUtf8(value.get_ref<const std::string&>()), "JSON text is valid UTF-8");
  } else if (value.is_structured()) {
    for (auto it = value.begin(); it != value.end(); ++it) {
      if (value.is_object()) Check(ValidUtf8(it.key()), "JSON key is valid UTF-8");
      CheckStrings(*it);
    }
  }
}

// Lines of update.ini as the updater counts them: up to a byte 0x1A, one per
// line feed, and one for text after the last line feed.
int CountLines(const uint8_t* ini, size_t size) {
  int lines = 0;
  size_t i = 0;
  for (; i < size && ini[i] != 0x1A; ++i) {
    if (ini[i] == '\n') ++lines;
  }
  if (i > 0 && ini[i - 1] != '\n') ++lines;
  return lines;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

struct ShownProblem {
  std::string line, severity, message, code;
};

// Reads "update.ini:LINE: SEVERITY: MESSAGE [CODE]".
bool ReadProblemLine(const std::string& text, ShownProblem* out) {
  size_t colon = text.find(':', 11);
  if (colon == std::string::npos || colon == 11) return false;
  out->line = text.substr(11, colon - 11);
  for (char c : out->line) {
    if (c < '0' || c > '9') return false;
  }
  if (text.compare(colon, 2, ": ") != 0) return false;
  size_t severity_end = text.find(": ", colon + 2);
  if (severity_end == std::string::npos) return false;
  out->severity = text.substr(colon + 2, severity_end - colon - 2);
  size_t open = text.rfind(" [");
  if (open == std::string::npos || open < severity_end + 2 || text.back() != ']') return false;
  out->message = text.substr(severity_end + 2, open - severity_end - 2);
  out->code = text.substr(open + 2, text.size() - open - 3);
  if (out->code.empty()) return false;
  for (char c : out->code) {
    if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-')) return false;
  }
  return true;
}

const std::set<std::string> kCodes = {
    "device-name",      "duplicate-entry",   "escapes-game-folder", "invalid-cp932",
    "key-repeated",     "line-split",        "missing-source",      "name-too-long",
    "never-copied",     "no-settings-file",  "settings-too-large",  "source-is-folder",
    "text-after-quote", "text-outside-list", "too-many-files",      "too-many-types",
    "unknown-key",      "unknown-type",      "utf8-text",           "value-cut"};

void CheckReports(const Json& report, const std::string& human, int lines) {
  Check(report.is_object(), "the JSON report is one object");
  CheckStrings(report);
  Check(ValidUtf8(human), "the human report is valid UTF-8");

  const Json& files = report.at("files");
  const Json& copy = report.at("copy");
  const Json& problems = report.at("problems");
  Check(files.is_array() && copy.is_array() && problems.is_array(), "lists are arrays");

  // The copy takes entries of the file list, in list order, each at most
  // once, and only entries that the copy mask selects.
  size_t next = 0;
  for (const Json& item : copy) {
    while (next < files.size() && (files[next].at("name") != item.at("name") ||
                                   (files[next].at("flags").get<uint32_t>() & kCopyMask) == 0)) {
      ++next;
    }
    Check(next < files.size(), "each copied entry is a selected entry of the file list");
    ++next;
    Check(item.at("source").is_null() || item.at("source").is_string(), "source text or null");
  }

  int errors = 0, warnings = 0;
  int last_line = 0;
  for (const Json& problem : problems) {
    const std::string& code = problem.at("code").get_ref<const std::string&>();
    const std::string& severity = problem.at("severity").get_ref<const std::string&>();
    int line = problem.at("line").get<int>();
    Check(problem.at("message").is_string(), "problem message is text");
    Check(kCodes.count(code) == 1, "known problem code");
    Check(severity == "error" || severity == "warning", "known severity");
    if (code == "no-settings-file" || code == "settings-too-large") {
      Check(line == 0, "a problem of the settings file as a whole has no line");
    } else {
      Check(line >= 1 && line <= lines, "problem line within the file");
    }
    Check(line >= last_line, "problems in line order");
    last_line = line;
    (severity == "error" ? errors : warnings)++;
  }

  // The human report gives each problem on one line of its own, the same
  // problems in the same order, and counts them alike. Text from the file is
  // shown there without control characters, so that nothing in it breaks a
  // line or drives the terminal.
  for (char c : human) {
    unsigned char b = static_cast<unsigned char>(c);
    Check((b >= 0x20 && b != 0x7F) || c == '\n' || c == '\t',
          "the human report holds no control character");
  }
  size_t shown = 0;
  std::string summary;
  std::string plan_count;
  for (const std::string& line : SplitLines(human)) {
    ShownProblem seen;
    if (line.compare(0, 11, "update.ini:") == 0) {
      Check(ReadProblemLine(line, &seen), "problem line is whole");
      Check(shown < problems.size(), "no more problems shown than reported");
      const Json& problem = problems[shown++];
      Check(seen.line == std::to_string(problem.at("line").get<int>()) &&
                seen.severity == problem.at("severity").get_ref<const std::string&>() &&
                seen.code == problem.at("code").get_ref<const std::string&>(),
            "the human report shows the JSON report's problems in order");
      const std::string& message = problem.at("message").get_ref<const std::string&>();
      bool plain = true;
      for (char c : message) {
        unsigned char b = static_cast<unsigned char>(c);
        plain = plain && ((b >= 0x20 && b != 0x7F) || c == '\t');
      }
      if (plain) Check(seen.message == message, "a plain message is shown as it is");
    }
    if (plan_count.empty() && !line.empty() && line[0] >= '0' && line[0] <= '9') plan_count = line;
    summary = line;
  }
  Check(shown == problems.size(), "the human report shows every problem");
  Check(summary == std::to_string(errors) + (errors == 1 ? " error, " : " errors, ") +
                       std::to_string(warnings) + (warnings == 1 ? " warning" : " warnings"),
        "the human report counts the problems alike");
  std::string to_copy = ", " + std::to_string(copy.size()) + " to copy";
  Check(plan_count.size() >= to_copy.size() &&
            plan_count.compare(plan_count.size() - to_copy.size(), to_copy.size(), to_copy) == 0,
        "the human report counts the copy alike");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  bool settings_found = LayOutMedium(kMedium, data, size, kInMemory);
  int lines = settings_found ? CountLines(data + 2, size - 2) : 0;

  // What update-check --json does, and its human report from the same check.
  CheckReport check;
  Check(CheckMedium(kMedium, &check), "the checker reads any medium");
  Check(check.settings_found == settings_found, "the settings file is found when it is there");
  std::string json = FormatJson(check);
  std::string human = FormatHuman(kMedium, check);
  Json report = Json::parse(json, nullptr, false);
  Check(!report.is_discarded(), "the JSON report parses");
  CheckReports(report, human, lines);
  // Nothing stays allocated from one input to the next: libFuzzer takes an
  // input that ends with more allocations than frees for a possible leak
  // and checks the whole heap for it.
  ClearMemoryMedium();
  return 0;
}
