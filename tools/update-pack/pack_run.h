// The update-pack command: arguments in, medium, report and exit code out.
#pragma once

#include <string>
#include <vector>

constexpr int kExitPacked = 0;         // the medium is complete and checks clean
constexpr int kExitCannotExpress = 1;  // the update cannot be expressed; nothing written
constexpr int kExitBadInput = 2;       // bad arguments, unreadable input, medium in the way

// Runs update-pack with args (without the program's name); out and err get
// what belongs on the standard output and the standard error.
int RunUpdatePack(const std::vector<std::string>& args, std::string* out, std::string* err);
