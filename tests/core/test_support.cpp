#include "test_support.h"

#include <iconv.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <stdexcept>

extern "C" {
#include <ftw.h>
}

#include "settings/settings.h"
#include "settings/settings_file.h"
#include "ui/message_box.h"

std::string Sjis(const std::string& utf8) {
  iconv_t cd = iconv_open("CP932", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("no CP932 in iconv");
  std::string out(utf8.size() * 2 + 4, '\0');
  char* in_ptr = const_cast<char*>(utf8.data());
  size_t in_left = utf8.size();
  char* out_ptr = out.data();
  size_t out_left = out.size();
  size_t r = iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left);
  iconv_close(cd);
  if (r == static_cast<size_t>(-1)) throw std::runtime_error("not convertible: " + utf8);
  out.resize(out.size() - out_left);
  return out;
}

static void Collect(void* context, void*, const char* text, const char* caption) {
  static_cast<MessageLog*>(context)->shown.push_back({text, caption});
}

MessageLog::MessageLog() {
  SetMessageSink(Collect, this);
}
MessageLog::~MessageLog() {
  SetMessageSink(nullptr, nullptr);
}

ScratchFolder::ScratchFolder() {
  char cwd[PATH_MAX];
  if (getcwd(cwd, sizeof cwd) != nullptr) previous_ = cwd;
  char pattern[] = "/tmp/updater-test-XXXXXX";
  if (mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp");
  path_ = pattern;
  if (chdir(path_.c_str()) != 0) throw std::runtime_error("chdir");
}

static int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
  return remove(path);
}

ScratchFolder::~ScratchFolder() {
  CloseSettingsFile();
  if (chdir(previous_.c_str()) != 0) return;
  nftw(path_.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}

void ScratchFolder::WriteSettings(const std::string& bytes) {
  std::ofstream(path_ + "/update.ini", std::ios::binary) << bytes;
}

void ParseSettingsBytes(ScratchFolder& folder, const std::string& bytes) {
  ResetSettings();
  folder.WriteSettings(bytes);
  CloseSettingsFile();
  OpenSettingsFile();
  ParseSettingsFile();
  CloseSettingsFile();
}
