// update-check's two report forms, both UTF-8.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "check_report.h"

// "error" or "warning", as both report forms name a severity.
const char* SeverityName(Severity severity);

// The checker's problems as the JSON report lists them; other tools that
// report a check reuse it.
nlohmann::ordered_json ProblemsJson(const std::vector<Problem>& problems);

// The report as one JSON object, from the report and the settings record.
std::string FormatJson(const CheckReport& report);

// The report for people: summary, copy plan, one line per problem.
std::string FormatHuman(const std::string& dir, const CheckReport& report);
