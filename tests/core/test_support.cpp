#include "test_support.h"

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
