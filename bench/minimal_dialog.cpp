// The smallest dialog program: the yardstick for update.exe's start-up, as
// it pays for nothing but the process, the loader and one dialog.
#include <windows.h>

static INT_PTR CALLBACK MinimalDialog(HWND dialog, UINT message, WPARAM wparam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) EndDialog(dialog, 1);
      return TRUE;
  }
  return FALSE;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  DialogBoxParamW(instance, L"MINIMAL", nullptr, MinimalDialog, 0);
  return 1;
}
