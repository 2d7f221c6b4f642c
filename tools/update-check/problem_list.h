// Adding problems to a report, and the texts they share.
#pragma once

#include <string>

#include "check_report.h"

void AddProblem(CheckReport* report, int line, Severity severity, const char* code,
                const std::string& message);

// A code page 932 text in quotes, as UTF-8.
std::string Quoted(const std::string& cp932);
