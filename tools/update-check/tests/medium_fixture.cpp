#include "medium_fixture.h"

#include <iconv.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <fstream>
#include <stdexcept>

extern "C" {
#include <ftw.h>
}

#include "check_run.h"

std::string Sjis(const std::string& utf8) {
  iconv_t cd = iconv_open("CP932", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("no CP932 in iconv");
  std::string out(utf8.size() * 2 + 4, '\0');
  char* in_ptr = const_cast<char*>(utf8.data());
  size_t in_left = utf8.size();
  char* out_ptr = &out[0];
  size_t out_left = out.size();
  size_t r = iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left);
  iconv_close(cd);
  if (r == static_cast<size_t>(-1)) throw std::runtime_error("not convertible: " + utf8);
  out.resize(out.size() - out_left);
  return out;
}

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
