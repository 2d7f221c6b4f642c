#pragma once

// Takes the program's own folder and the current folder out of the DLL
// search. Call it first thing in WinMain.
void RestrictDllSearch();
