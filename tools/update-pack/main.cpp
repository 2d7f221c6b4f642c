// update-pack: builds an update medium from two versions of the game.
#include <stdio.h>

#include <string>
#include <vector>

#include "locale_text.h"
#include "pack_run.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "utf8_wide.h"
#endif

static int Finish(int code, const std::string& out, const std::string& err) {
  fwrite(out.data(), 1, out.size(), stdout);
  fwrite(err.data(), 1, err.size(), stderr);
  fflush(stdout);
  return code;
}

#ifdef _WIN32
// Arguments arrive as UTF-16, whatever the console's code page; the tool
// keeps them as UTF-8 and writes UTF-8, the same bytes as on Linux.
int wmain(int argc, wchar_t** argv) {
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  SetConsoleOutputCP(CP_UTF8);
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(Utf8FromWide(argv[i]));
  std::string out, err;
  int code = RunUpdatePack(args, &out, &err);
  return Finish(code, out, err);
}
#else
int main(int argc, char** argv) {
  UseEnvironmentLocale();
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string out, err;
  int code = RunUpdatePack(args, &out, &err);
  return Finish(code, out, err);
}
#endif
