// Window and control texts in code page 932, through the W functions.
#pragma once

#include <stddef.h>
#include <windows.h>

void SetWindowText932(HWND window, const char* text);
void SetControlText932(HWND dialog, int id, const char* text);

// Reads the control's text into out (size bytes), cut at a character boundary
// when it does not fit, as FromWide converts it (*unmappable set by a
// character that code page 932 cannot spell). Returns true when nothing was
// cut.
bool GetControlText932(HWND dialog, int id, char* out, size_t size, bool* unmappable);
