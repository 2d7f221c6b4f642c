// update-pack: builds an update medium from two versions of the game.
#include "console_main.h"
#include "locale_text.h"
#include "pack_run.h"

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
  return RunConsoleTool(argc, argv, RunUpdatePack);
}
#else
// Text options come in the locale's encoding.
int main(int argc, char** argv) {
  UseEnvironmentLocale();
  return RunConsoleTool(argc, argv, RunUpdatePack);
}
#endif
