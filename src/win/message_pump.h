// Letting a dialog answer while its own handler works.
#pragma once

#include <windows.h>

// Dispatches every message waiting in the thread's queue: repaints, timers,
// the close box. WM_QUIT is posted again for the loop that waits for it.
void PumpMessages(HWND dialog);
