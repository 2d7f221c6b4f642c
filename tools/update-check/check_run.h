// The update-check command: arguments in, report and exit code out.
#pragma once

#include <string>
#include <vector>

constexpr int kExitClean = 0;     // no error
constexpr int kExitProblems = 1;  // at least one error
constexpr int kExitCannotRun = 2;

// Runs update-check with args (without the program's name); out and err get
// what belongs on the standard output and the standard error.
int RunUpdateCheck(const std::vector<std::string>& args, std::string* out, std::string* err);
