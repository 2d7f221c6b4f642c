#include "checker.h"

#include <algorithm>
#include <vector>

#include "copy_plan.h"
#include "cp932_text.h"
#include "medium_files.h"
#include "parse_problems.h"
#include "problem_list.h"
#include "proof_check.h"
#include "settings/settings.h"
#include "settings/settings_file.h"
#include "ui/message_box.h"

namespace {

struct Recorded {
  std::vector<RecordedEvent> events;
  std::vector<std::string> messages;
};

void RecordEvent(void* context, const ParseEvent& event) {
  static_cast<Recorded*>(context)->events.push_back(
      {event.kind, event.line, event.key != nullptr ? event.key : "",
       event.text != nullptr ? event.text : "", event.index, event.flags});
}

void RecordMessage(void* context, void*, const char* text, const char*) {
  static_cast<Recorded*>(context)->messages.push_back(text);
}

std::string Hex(unsigned char c) {
  const char digits[] = "0123456789ABCDEF";
  return std::string("0x") + digits[c >> 4] + digits[c & 15];
}

void ReportEncoding(const std::vector<std::string>& lines, CheckReport* report) {
  int first = 0;
  bool bom = false;
  if (LooksLikeUtf8(lines, &first, &bom)) {
    // Such a file gives invalid code page 932 on nearly every line; one
    // warning says what is wrong with all of them.
    AddProblem(
        report, bom ? 1 : first, Severity::kWarning, "utf8-text",
        bom ? "update.ini is UTF-8 with a byte-order mark; the updater reads code page 932 "
              "(Shift-JIS), so its non-ASCII text turns into other characters and the mark "
              "hides the first line's key"
            : "update.ini looks like UTF-8; the updater reads code page 932 (Shift-JIS), so its "
              "non-ASCII text turns into other characters");
    return;
  }
  for (size_t n = 0; n < lines.size(); ++n) {
    size_t length = 0;
    long at = FindInvalidCp932(lines[n], &length);
    if (at < 0) continue;
    std::string bytes;
    for (size_t i = 0; i < length; ++i) {
      bytes += (i > 0 ? " " : "") + Hex(static_cast<unsigned char>(lines[n][at + i]));
    }
    AddProblem(report, static_cast<int>(n) + 1, Severity::kWarning, "invalid-cp932",
               std::string(length > 1 ? "bytes " : "byte ") + bytes + " at column " +
                   std::to_string(at + 1) + " " + (length > 1 ? "are" : "is") +
                   " not code page 932 text");
  }
}

}  // namespace

bool CheckMediumFiles(const std::string& dir, CheckReport* report) {
  *report = CheckReport();
  ResetSettings();
  std::string settings_file;
  std::string bytes;
  MediumEntry found = FindOnMedium(dir, "update.ini", &settings_file);
  if (found == MediumEntry::kFolder) {
    AddProblem(
        report, 0, Severity::kError, "no-settings-file",
        "update.ini is a folder: the updater keeps its built-in settings and copies nothing");
  } else if (found == MediumEntry::kMissing || !ReadMediumFile(settings_file, &bytes)) {
    AddProblem(report, 0, Severity::kError, "no-settings-file",
               std::string(found == MediumEntry::kMissing ? "the medium has no update.ini"
                                                          : "update.ini cannot be read") +
                   ": the updater keeps its built-in settings and copies nothing");
  } else {
    report->settings_found = true;
    Recorded recorded;
    SetParseObserver(RecordEvent, &recorded);
    SetMessageSink(RecordMessage, &recorded);
    // The updater parses the very bytes it read, from memory.
    OpenSettingsFile(bytes.data(), bytes.size());
    ParseSettingsFile();
    CloseSettingsFile();
    SetParseObserver(nullptr, nullptr);
    SetMessageSink(nullptr, nullptr);
    if (bytes.size() > kMaxSettingsSize) {
      AddProblem(report, 0, Severity::kError, "settings-too-large",
                 "update.ini is over " + std::to_string(kMaxSettingsSize) +
                     " bytes; the updater refuses the medium");
    }
    report->test_messages = recorded.messages;
    std::vector<std::string> lines = SplitSettingsLines(bytes);
    ReportParseEvents(recorded.events, lines, report);
    ReportEncoding(lines, report);
  }
  report->entry_lines.resize(static_cast<size_t>(settings.file_count), 0);
  PlanCopy(dir, report);
  std::stable_sort(report->problems.begin(), report->problems.end(),
                   [](const Problem& a, const Problem& b) { return a.line < b.line; });
  return true;
}

bool CheckMedium(const std::string& dir, CheckReport* report) {
  MediumListingScope listing;
  if (!CheckMediumFiles(dir, report)) return false;
  CheckProof(dir, report);
  return true;
}
