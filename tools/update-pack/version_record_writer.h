// update.versions as update-pack writes it: for each old version, a line
// "version <label>", then a line "<SHA-256> <size> <path>" for each of its
// files in byte order of the paths; UTF-8, LF line ends.
#pragma once

#include <string>
#include <vector>

#include "pack_report.h"

// The label of the version in the folder dir: the folder's own name.
std::string LabelOfFolder(const std::string& dir);

// Why label (UTF-8) cannot name a version, or null when it can.
const char* UnusableLabelReason(const std::string& label);

// True when path (below the game folder, '/' between names) can be a line
// of the record: UTF-8 text without a control character, a backslash or a
// colon, within the longest path a list holds.
bool IsRecordPath(const std::string& path);

std::string ComposeVersionRecord(const std::vector<PackedVersion>& versions);

// Reports what keeps report->record off the medium: more bytes than the
// updater reads, or no line of update.sha256 left for it beside the files.
void CheckRecordFits(PackReport* report);
