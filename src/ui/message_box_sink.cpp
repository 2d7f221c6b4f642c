#include "ui/message_box.h"

static MessageSink message_sink = nullptr;
static void* message_context = nullptr;

void SetMessageSink(MessageSink sink, void* context) {
  message_sink = sink;
  message_context = context;
}

void ShowMessage(void* owner, const char* text, const char* caption) {
  if (message_sink != nullptr) message_sink(message_context, owner, text, caption);
}

bool AskRetry(void* owner, const char* text, const char* caption) {
  ShowMessage(owner, text, caption);
  return false;
}
