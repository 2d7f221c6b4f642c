#include <windows.h>

#include "ui/message_box.h"
#include "win/wide_text.h"

void SetMessageSink(MessageSink, void*) {}

void ShowMessage(void* owner, const char* text, const char* caption) {
  wchar_t wide_text[2048];
  wchar_t wide_caption[512];
  ToWide(text, wide_text, sizeof wide_text / sizeof wide_text[0]);
  ToWide(caption, wide_caption, sizeof wide_caption / sizeof wide_caption[0]);
  MessageBoxW(static_cast<HWND>(owner), wide_text, wide_caption, MB_OK);
}
