#include "win/window_text.h"

#include "win/wide_text.h"

// Every text the program shows is at most 1023 bytes of code page 932 (the
// formatting limit), so at most 1023 UTF-16 units.
constexpr int kWideTextLength = 1024;

void SetWindowText932(HWND window, const char* text) {
  wchar_t wide[kWideTextLength];
  ToWide(text, wide, kWideTextLength);
  SetWindowTextW(window, wide);
}

void SetControlText932(HWND dialog, int id, const char* text) {
  wchar_t wide[kWideTextLength];
  ToWide(text, wide, kWideTextLength);
  SetDlgItemTextW(dialog, id, wide);
}

bool GetControlText932(HWND dialog, int id, char* out, size_t size, bool* unmappable) {
  // Each UTF-16 unit becomes at least one byte, so size - 1 units hold every
  // character that can fit size - 1 bytes; FromWide cuts the rest.
  wchar_t wide[4096];
  int count = size < sizeof wide / sizeof wide[0] ? static_cast<int>(size)
                                                  : static_cast<int>(sizeof wide / sizeof wide[0]);
  GetDlgItemTextW(dialog, id, wide, count);
  return FromWide(wide, out, size, unmappable);
}
