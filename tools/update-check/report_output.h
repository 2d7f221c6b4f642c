// update-check's two report forms, both UTF-8.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "check_report.h"
#include "game_check.h"

// "error" or "warning", as both report forms name a severity.
const char* SeverityName(Severity severity);

// The checker's problems as the JSON report lists them; other tools that
// report a check reuse it.
nlohmann::ordered_json ProblemsJson(const std::vector<Problem>& problems);

// The report as one JSON object, from the report and the settings record;
// with a "game" object when game is given.
std::string FormatJson(const CheckReport& report, const GameReport* game = nullptr);

// The report for people: summary, copy plan, one line per problem; then
// the game folder's verdict when game is given.
std::string FormatHuman(const std::string& dir, const CheckReport& report,
                        const GameReport* game = nullptr, const std::string& game_dir = "");
