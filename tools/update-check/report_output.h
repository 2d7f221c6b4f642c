// update-check's two report forms, both UTF-8.
#pragma once

#include <string>

#include "check_report.h"

// The report as one JSON object, from the report and the settings record.
std::string FormatJson(const CheckReport& report);

// The report for people: summary, copy plan, one line per problem.
std::string FormatHuman(const std::string& dir, const CheckReport& report);
