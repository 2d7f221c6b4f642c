// update-check: checks an update medium with the updater's own parser.
#include "check_run.h"
#include "console_main.h"

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  return RunConsoleTool(argc, argv, RunUpdateCheck);
}
#else
int main(int argc, char** argv) {
  return RunConsoleTool(argc, argv, RunUpdateCheck);
}
#endif
