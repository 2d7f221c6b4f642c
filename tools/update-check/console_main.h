// The entry point shared by the publisher's console tools.
#pragma once

#include <string>
#include <vector>

using ConsoleTool = int (*)(const std::vector<std::string>& args, std::string* out,
                            std::string* err);

// Runs tool on the arguments after the program name and writes what it
// reports; returns its exit code.
#ifdef _WIN32
int RunConsoleTool(int argc, wchar_t** argv, ConsoleTool tool);
#else
int RunConsoleTool(int argc, char** argv, ConsoleTool tool);
#endif
