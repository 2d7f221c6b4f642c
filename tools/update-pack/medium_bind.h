// update-pack --bind: the proof of a medium that a publisher wrote by hand.
#pragma once

#include <string>
#include <vector>

// True when args ask for --bind rather than for packing.
bool AsksForBind(const std::vector<std::string>& args);

// Runs update-pack --bind MEDIUM_DIR --exe UPDATE_EXE [--json]; returns the
// exit code of update-pack.
int RunBind(const std::vector<std::string>& args, std::string* out, std::string* err);
