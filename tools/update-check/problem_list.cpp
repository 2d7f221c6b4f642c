#include "problem_list.h"

#include <algorithm>

#include "cp932_text.h"

void AddProblem(CheckReport* report, int line, Severity severity, const char* code,
                const std::string& message) {
  report->problems.push_back({line, severity, code, message});
}

std::string Quoted(const std::string& cp932) {
  return "'" + DecodeCp932(cp932) + "'";
}

int CountProblems(const CheckReport& report, Severity severity) {
  return static_cast<int>(std::count_if(report.problems.begin(), report.problems.end(),
                                        [&](const Problem& p) { return p.severity == severity; }));
}
