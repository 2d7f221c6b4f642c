// The one place that shows message boxes.
#pragma once

// Shows text under caption (both code page 932) with one OK button and no
// icon, owned by owner (a window handle, or null), and waits for OK.
void ShowMessage(void* owner, const char* text, const char* caption);

// The same with Retry and Cancel buttons; true when Retry was pressed.
bool AskRetry(void* owner, const char* text, const char* caption);

// Builds without a screen hand each box to a sink instead; tests and tools
// read the boxes from it, and AskRetry answers Cancel. A null sink drops them.
using MessageSink = void (*)(void* context, void* owner, const char* text, const char* caption);
void SetMessageSink(MessageSink sink, void* context);
