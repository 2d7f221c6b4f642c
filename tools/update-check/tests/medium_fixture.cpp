#include "medium_fixture.h"

#include <stdlib.h>
#include <sys/stat.h>

#include <fstream>
#include <stdexcept>

extern "C" {
#include <ftw.h>
}

#include "check_run.h"

Medium::Medium() {
  char pattern[] = "/tmp/update-check-test-XXXXXX";
  if (mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp");
  dir_ = pattern;
}

static int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
  return remove(path);
}

Medium::~Medium() {
  nftw(dir_.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}

void Medium::Folder(const std::string& relative) {
  std::string path = dir_;
  size_t start = 0;
  while (start <= relative.size()) {
    size_t slash = relative.find('/', start);
    if (slash == std::string::npos) slash = relative.size();
    path += "/" + relative.substr(start, slash - start);
    mkdir(path.c_str(), 0755);
    start = slash + 1;
  }
}

void Medium::Write(const std::string& relative, const std::string& bytes) {
  size_t slash = relative.rfind('/');
  if (slash != std::string::npos) Folder(relative.substr(0, slash));
  std::ofstream(dir_ + "/" + relative, std::ios::binary) << bytes;
}

CheckRun RunCheck(const std::vector<std::string>& args) {
  CheckRun run;
  run.exit_code = RunUpdateCheck(args, &run.out, &run.err);
  return run;
}

nlohmann::json CheckJson(const Medium& medium, int* exit_code) {
  CheckRun run = RunCheck({"--json", medium.dir()});
  *exit_code = run.exit_code;
  return nlohmann::json::parse(run.out);
}
