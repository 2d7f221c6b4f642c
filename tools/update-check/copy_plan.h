// The copy as the updater will run it, and the problems of the file list.
#pragma once

#include <stdint.h>

#include <string>

#include "check_report.h"

// The mask with which the copy selects the file list.
constexpr uint32_t kCopyMask = 0xFF;

// Walks the file list as the copy does and looks for each source on the
// medium in dir; reports what will fail and entries that are never copied or
// listed twice. Needs report->entry_lines.
void PlanCopy(const std::string& dir, CheckReport* report);
