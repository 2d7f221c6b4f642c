#include "test_support.h"

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

void ParseSettingsBytes(const std::string& bytes) {
  ResetSettings();
  OpenSettingsFile(bytes.data(), bytes.size());
  ParseSettingsFile();
  CloseSettingsFile();
}
