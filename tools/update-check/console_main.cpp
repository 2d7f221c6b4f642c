#include "console_main.h"

#include <stdio.h>

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
// Arguments arrive as UTF-16 so that any folder name survives, whatever the
// console's code page; the tools keep them as UTF-8 and write UTF-8, the
// same bytes as on Linux.
int RunConsoleTool(int argc, wchar_t** argv, ConsoleTool tool) {
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  SetConsoleOutputCP(CP_UTF8);
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(Utf8FromWide(argv[i]));
  std::string out, err;
  int code = tool(args, &out, &err);
  return Finish(code, out, err);
}
#else
int RunConsoleTool(int argc, char** argv, ConsoleTool tool) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string out, err;
  int code = tool(args, &out, &err);
  return Finish(code, out, err);
}
#endif
