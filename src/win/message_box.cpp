#include <windows.h>

#include "ui/message_box.h"
#include "win/wide_text.h"

void SetMessageSink(MessageSink, void*) {}

static int ShowBox(void* owner, const char* text, const char* caption, UINT style) {
  wchar_t wide_text[2048];
  wchar_t wide_caption[512];
  ToWide(text, wide_text, sizeof wide_text / sizeof wide_text[0]);
  ToWide(caption, wide_caption, sizeof wide_caption / sizeof wide_caption[0]);
  return MessageBoxW(static_cast<HWND>(owner), wide_text, wide_caption, style);
}

void ShowMessage(void* owner, const char* text, const char* caption) {
  ShowBox(owner, text, caption, MB_OK);
}

bool AskRetry(void* owner, const char* text, const char* caption) {
  return ShowBox(owner, text, caption, MB_RETRYCANCEL) == IDRETRY;
}
